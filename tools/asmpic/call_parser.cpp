#include "tools/asmpic/call_parser.h"

#include "platform/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <optional>
#include <ostream>

#include "engine/cls_asmpic.h"
#include "kernels/rounding.h"

namespace asmpic::tool {

namespace {

// The parser has checked every value's range and put in the defaults of those left out.
std::optional<double> Centre(const Call& call, const char* name) {
  if (!call.has(name)) return std::nullopt;
  return call.number(name);
}

std::int16_t Int16(const Call& call, const char* name) {
  return static_cast<std::int16_t>(call.integer(name));
}

std::int32_t Int32(const Call& call, const char* name) {
  return static_cast<std::int32_t>(call.integer(name));
}

// "; did you mean X?" for the name nearest to a typo (names are matched without their case), or
// nothing when none is near.
std::string DidYouMean(const std::string& typo, const std::vector<std::string>& names) {
  const auto nearest = platform::NearestName(typo, names, true);
  return nearest ? "; did you mean " + *nearest + "?" : std::string();
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

std::optional<long long> ParseInteger(const std::string& text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (magnitude > (1ULL << 40)) return std::nullopt;  // far outside every parameter's range
  const auto value = static_cast<long long>(magnitude);
  return negative ? -value : value;
}

std::optional<double> ParseDecimal(const std::string& text) {
  double value = 0;
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

Value ParseValue(ParamKind kind, const std::string& label, const std::string& text) {
  const auto fail = [&](const std::string& why) { return CallError(label + "=" + text + ": " + why); };
  switch (kind) {
    case ParamKind::Bool:
      if (SameName(text, "true") || text == "1" || text == "-1") return true;
      if (SameName(text, "false") || text == "0") return false;
      throw fail("expected true, false, 1, 0 or -1");
    case ParamKind::Int16:
    case ParamKind::Int32: {
      const auto value = ParseInteger(text);
      const bool narrow = kind == ParamKind::Int16;
      const long long low = narrow ? -32768 : -2147483648LL;
      // 32-bit values may also be written as unsigned hexadecimal (0xFFFFFFFF is -1).
      const long long high = narrow ? 32767 : 4294967295LL;
      if (!value) throw fail("expected a whole number");
      if (*value < low || *value > high) {
        throw fail("outside " + std::to_string(low) + " ... " +
                   std::to_string(narrow ? 32767 : 2147483647LL));
      }
      if (!narrow && *value > 2147483647LL) return static_cast<long long>(static_cast<std::int32_t>(*value));
      return *value;
    }
    case ParamKind::Single:
    case ParamKind::Number: {
      const auto value = ParseDecimal(text);
      if (!value) throw fail("expected a number");
      return *value;
    }
  }
  throw fail("unknown kind");
}

const std::vector<MethodSpec>& KnownMethods() {
  using K = ParamKind;
  static const std::vector<const char*> palette = {"red up",
                                                   "red down",
                                                   "green up",
                                                   "green down",
                                                   "blue up",
                                                   "blue down",
                                                   "brighten",
                                                   "darken",
                                                   "shift up",
                                                   "shift down",
                                                   "noise",
                                                   "invert",
                                                   "greyscale",
                                                   "dark to black",
                                                   "light to white",
                                                   "black to white",
                                                   "white to black",
                                                   "non-white to black",
                                                   "non-black to white",
                                                   "threshold"};
  static const std::vector<MethodSpec> methods = {
      {"ASM_Rotate",
       [](clsASMpic& e, const Call& c) {
         e.ASM_Rotate(Int16(c, "Angle"), c.boolean("AntiAlias"), c.boolean("SourcePic"), Int32(c, "colorX"),
                      Centre(c, "centerX"), Centre(c, "centerY"));
       },
       {{"Angle", K::Int16, true},
        {"AntiAlias", K::Bool, false, "false"},
        {"SourcePic", K::Bool, false, "true"},
        {"colorX", K::Int32, false, "-1"},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false}}},
      {"ASM_Magnify",
       [](clsASMpic& e, const Call& c) {
         e.ASM_Magnify(ToSingle(c.number("Factor")), Centre(c, "centerX"), Centre(c, "centerY"),
                       c.boolean("AntiAlias"), Int32(c, "colorX"));
       },
       {{"Factor", K::Single, true},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false},
        {"AntiAlias", K::Bool, false, "false"},
        {"colorX", K::Int32, false, "-1"}}},
      {"ASM_PalEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_PalEffects(Int32(c, "OpCode"), Int16(c, "Amount"), Int32(c, "colorX"));
       },
       {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false, "1"}, {"colorX", K::Int32, false, "-1"}},
       palette},
      {"ASM_IncrementalPalEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_IncrementalPalEffects(Int32(c, "OpCode"), Int16(c, "Amount"));
       }, {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false, "1"}}, palette},
      {"ASM_PixelEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_PixelEffects(Int32(c, "OpCode"), Int16(c, "Amount"), Int32(c, "colorX"));
       },
       {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false, "1"}, {"colorX", K::Int32, false, "-1"}},
       {"smoothing", "contour", "emboss", "ripple", "relief", "twirl"}},
      {"ASM_ColorXEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_ColorXEffects(Int32(c, "OpCode"), Int32(c, "colorX"), Int16(c, "Amount"), Centre(c, "centerX"),
                             Centre(c, "centerY"));
       },
       {{"OpCode", K::Int32, true},
        {"colorX", K::Int32, true},
        {"Amount", K::Int16, false, "1"},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false}},
       {"scatter dot", "row lines", "column lines", "dot grid", "glow", "trail up", "trail down",
        "trail left", "trail right", "flare"}},
      {"UndoLast",
       [](clsASMpic& e, const Call&) { e.UndoLast(); }, {}},
      {"UndoLastDontDraw",
       [](clsASMpic& e, const Call&) { e.UndoLastDontDraw(); }, {}},
      {"ResetPic",
       [](clsASMpic& e, const Call&) { e.ResetPic(); }, {}},
      {"DrawNow",
       [](clsASMpic& e, const Call&) { e.DrawNow(); }, {}},
      {"AutoDraw",
       [](clsASMpic& e, const Call& c) { e.AutoDraw(c.boolean("autoON")); }, {{"autoON", K::Bool, true}}},
  };
  return methods;
}

namespace {

const char* KindText(ParamKind kind) {
  switch (kind) {
    case ParamKind::Int16:
      return "whole number, -32768 ... 32767";
    case ParamKind::Int32:
      return "whole number, 32 bits (decimal or 0x hexadecimal)";
    case ParamKind::Bool:
      return "true, false, 1, 0 or -1";
    case ParamKind::Single:
    case ParamKind::Number:
      return "decimal number";
  }
  return "";
}

std::string DefaultText(const ParamSpec& param) {
  if (param.required) return "required";
  if (param.fallback == nullptr) {
    return std::string("default: the picture's middle (") + (param.name[6] == 'X' ? "W" : "H") + " div 2)";
  }
  std::string text = std::string("default ") + param.fallback;
  if (std::string_view(param.name) == "colorX" && std::string_view(param.fallback) == "-1") {
    text += " (the box's BackColor)";
  }
  return text;
}

}  // namespace

void WriteMethodList(std::ostream& out) {
  constexpr int kNameColumn = 12;
  constexpr std::size_t kWidth = 100;
  for (const MethodSpec& method : KnownMethods()) {
    out << method.name << (method.params.empty() ? " (no parameters)" : "") << '\n';
    for (const ParamSpec& param : method.params) {
      out << "  " << std::left << std::setw(kNameColumn) << param.name << KindText(param.kind) << "; "
          << DefaultText(param) << '\n';
    }
    if (method.opcodes.empty()) continue;
    std::string line = std::string(kNameColumn + 2, ' ') + "OpCode";
    for (std::size_t op = 0; op < method.opcodes.size(); ++op) {
      std::string item = " ";
      item.append(std::to_string(op)).append(" ").append(method.opcodes[op]);
      if (op + 1 < method.opcodes.size()) item += ',';
      if (line.size() + item.size() > kWidth) {
        out << line << '\n';
        line = std::string(kNameColumn + 2 + 6, ' ');
      }
      line += item;
    }
    out << line << '\n';
  }
}

Call ParseCall(const std::string& text) {
  const auto colon = text.find(':');
  const std::string name = Trimmed(std::string_view(text).substr(0, colon));
  const auto& methods = KnownMethods();
  const auto method = std::find_if(methods.begin(), methods.end(),
                                   [&](const MethodSpec& m) { return SameName(m.name, name); });
  if (method == methods.end()) {
    std::vector<std::string> names;
    for (const MethodSpec& m : methods) names.emplace_back(m.name);
    throw CallError("unknown method '" + name + "' in call '" + text + "'" + DidYouMean(name, names));
  }

  Call call{&*method, {}};
  if (colon != std::string::npos) {
    std::string_view rest = std::string_view(text).substr(colon + 1);
    while (true) {
      const auto comma = rest.find(',');
      const std::string item = Trimmed(rest.substr(0, comma));
      const auto equals = item.find('=');
      if (equals == std::string::npos) {
        throw CallError(std::string(method->name) + ": expected Name=Value, got '" + item + "'");
      }
      const std::string paramName = Trimmed(std::string_view(item).substr(0, equals));
      const auto param = std::find_if(method->params.begin(), method->params.end(),
                                      [&](const ParamSpec& p) { return SameName(p.name, paramName); });
      if (param == method->params.end()) {
        std::vector<std::string> names;
        for (const ParamSpec& p : method->params) names.emplace_back(p.name);
        throw CallError(std::string(method->name) + ": unknown parameter '" + paramName + "'" +
                        DidYouMean(paramName, names));
      }
      if (call.has(param->name)) {
        throw CallError(std::string(method->name) + ": parameter '" + param->name + "' given twice");
      }
      call.values[param->name] = ParseValue(param->kind, std::string(method->name) + ": " + param->name,
                                            Trimmed(std::string_view(item).substr(equals + 1)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  for (const ParamSpec& param : method->params) {
    if (param.required && !call.has(param.name)) {
      throw CallError(std::string(method->name) + ": missing parameter '" + param.name + "'");
    }
    if (!call.has(param.name) && param.fallback != nullptr) {
      call.values[param.name] = ParseValue(param.kind, param.name, param.fallback);
    }
  }
  return call;
}

std::optional<std::string> IgnoredOpcodeNote(const Call& call) {
  const auto& opcodes = call.method->opcodes;
  if (opcodes.empty()) return std::nullopt;
  const long long opcode = call.integer("OpCode");
  if (opcode >= 0 && opcode < static_cast<long long>(opcodes.size())) return std::nullopt;
  return std::string(call.method->name) + ": OpCode " + std::to_string(opcode) +
         " is none of the method's operations (0 ... " + std::to_string(opcodes.size() - 1) +
         ", asmpic --list names them); the call changes nothing";
}

}  // namespace asmpic::tool
