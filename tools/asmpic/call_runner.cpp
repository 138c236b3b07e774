#include "tools/asmpic/call_runner.h"

#include "kernels/rounding.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

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

using Runner = std::function<void(clsASMpic&, const Call&)>;

const std::unordered_map<std::string_view, Runner>& Runners() {
  static const std::unordered_map<std::string_view, Runner> runners = {
      {"UndoLast", [](clsASMpic& e, const Call&) { e.UndoLast(); }},
      {"UndoLastDontDraw", [](clsASMpic& e, const Call&) { e.UndoLastDontDraw(); }},
      {"ResetPic", [](clsASMpic& e, const Call&) { e.ResetPic(); }},
      {"DrawNow", [](clsASMpic& e, const Call&) { e.DrawNow(); }},
      {"AutoDraw", [](clsASMpic& e, const Call& c) { e.AutoDraw(c.boolean("autoON")); }},
      {"ASM_Rotate",
       [](clsASMpic& e, const Call& c) {
         e.ASM_Rotate(Int16(c, "Angle"), c.boolean("AntiAlias"), c.boolean("SourcePic"), Int32(c, "colorX"),
                      Centre(c, "centerX"), Centre(c, "centerY"));
       }},
      {"ASM_Magnify",
       [](clsASMpic& e, const Call& c) {
         e.ASM_Magnify(ToSingle(c.number("Factor")), Centre(c, "centerX"), Centre(c, "centerY"),
                       c.boolean("AntiAlias"), Int32(c, "colorX"));
       }},
      {"ASM_PalEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_PalEffects(Int32(c, "OpCode"), Int16(c, "Amount"), Int32(c, "colorX"));
       }},
      {"ASM_IncrementalPalEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_IncrementalPalEffects(Int32(c, "OpCode"), Int16(c, "Amount"));
       }},
      {"ASM_PixelEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_PixelEffects(Int32(c, "OpCode"), Int16(c, "Amount"), Int32(c, "colorX"));
       }},
      {"ASM_ColorXEffects",
       [](clsASMpic& e, const Call& c) {
         e.ASM_ColorXEffects(Int32(c, "OpCode"), Int32(c, "colorX"), Int16(c, "Amount"), Centre(c, "centerX"),
                             Centre(c, "centerY"));
       }},
  };
  return runners;
}

}  // namespace

bool IsAvailable(const MethodSpec& method) {
  return Runners().count(method.name) != 0;
}

void RunCall(clsASMpic& engine, const Call& call) {
  Runners().at(call.method->name)(engine, call);
}

}  // namespace asmpic::tool
