#include "tools/asmpic/call_parser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace asmpic::tool {

namespace {

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
  static const std::vector<MethodSpec> methods = {
      {"ASM_Rotate",
       {{"Angle", K::Int16, true},
        {"AntiAlias", K::Bool, false},
        {"SourcePic", K::Bool, false},
        {"colorX", K::Int32, false},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false}}},
      {"ASM_Magnify",
       {{"Factor", K::Single, true},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false},
        {"AntiAlias", K::Bool, false},
        {"colorX", K::Int32, false}}},
      {"ASM_PalEffects",
       {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false}, {"colorX", K::Int32, false}}},
      {"ASM_IncrementalPalEffects", {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false}}},
      {"ASM_PixelEffects",
       {{"OpCode", K::Int32, true}, {"Amount", K::Int16, false}, {"colorX", K::Int32, false}}},
      {"ASM_ColorXEffects",
       {{"OpCode", K::Int32, true},
        {"colorX", K::Int32, true},
        {"Amount", K::Int16, false},
        {"centerX", K::Number, false},
        {"centerY", K::Number, false}}},
      {"UndoLast", {}},
      {"UndoLastDontDraw", {}},
      {"ResetPic", {}},
      {"DrawNow", {}},
      {"AutoDraw", {{"autoON", K::Bool, true}}},
  };
  return methods;
}

long long Call::integer(const std::string& name, long long fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : std::get<long long>(it->second);
}

double Call::number(const std::string& name, double fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : std::get<double>(it->second);
}

bool Call::boolean(const std::string& name, bool fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : std::get<bool>(it->second);
}

Call ParseCall(const std::string& text) {
  const auto colon = text.find(':');
  const std::string name = Trimmed(std::string_view(text).substr(0, colon));
  const auto& methods = KnownMethods();
  const auto method = std::find_if(methods.begin(), methods.end(),
                                   [&](const MethodSpec& m) { return SameName(m.name, name); });
  if (method == methods.end()) throw CallError("unknown method '" + name + "' in call '" + text + "'");

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
        throw CallError(std::string(method->name) + ": unknown parameter '" + paramName + "'");
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
  }
  return call;
}

}  // namespace asmpic::tool
