#pragma once
// The engine calls of the command line: `Method` or `Method:Name=Value,Name=Value`, with the
// engine's own method and parameter names, case-insensitive.
#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace asmpic {
class clsASMpic;
}  // namespace asmpic

namespace asmpic::tool {

enum class ParamKind {
  Int16,   // a whole number from -32768 to 32767
  Int32,   // a whole number that fits 32 bits (decimal or 0x hexadecimal)
  Bool,    // true, false, 1, 0 or -1
  Single,  // a decimal number, single precision
  Number,  // a decimal number (centres)
};

struct ParamSpec {
  const char* name;
  ParamKind kind;
  bool required;
  // The value a call takes when the parameter is left out, as the engine's method declares it;
  // nullptr: missing (a centre left out is the picture's middle).
  const char* fallback = nullptr;
};

struct Call;

struct MethodSpec {
  const char* name;
  // Makes the call on the engine, with the method's defaults for the parameters left out.
  void (*run)(clsASMpic& engine, const Call& call);
  std::vector<ParamSpec> params;
  std::vector<const char*> opcodes = {};  // the operations OpCode 0, 1, 2, ... selects; empty: no OpCode
};

// Every call the command line knows: the engine's public interface without its dialogs.
const std::vector<MethodSpec>& KnownMethods();

// Every method with its parameters, their kinds and defaults, and the names of its opcodes, for
// `asmpic --list`.
void WriteMethodList(std::ostream& out);

using Value = std::variant<long long, double, bool>;

struct Call {
  const MethodSpec* method;
  // By the parameter's own name: those given, and the defaults of those left out; a parameter
  // without a default that was left out is missing.
  std::map<std::string, Value> values;

  bool has(const std::string& name) const { return values.count(name) != 0; }
  long long integer(const std::string& name) const { return std::get<long long>(values.at(name)); }
  double number(const std::string& name) const { return std::get<double>(values.at(name)); }
  bool boolean(const std::string& name) const { return std::get<bool>(values.at(name)); }
};

// A call that cannot be made: its message says which call and why.
class CallError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Call ParseCall(const std::string& text);

// When the call's OpCode names none of its method's operations (the engine then changes nothing),
// a note that says so; nothing otherwise.
std::optional<std::string> IgnoredOpcodeNote(const Call& call);

// One value of the given kind; `label` names it in the error.
Value ParseValue(ParamKind kind, const std::string& label, const std::string& text);

}  // namespace asmpic::tool
