#pragma once
#include "engine/cls_asmpic.h"
#include "tools/asmpic/call_parser.h"

namespace asmpic::tool {

// Whether this build's engine offers the method (an effect whose kernel is not built yet is not).
bool IsAvailable(const MethodSpec& method);

// Makes the call on the engine, with the method's defaults for the parameters left out.
void RunCall(clsASMpic& engine, const Call& call);

}  // namespace asmpic::tool
