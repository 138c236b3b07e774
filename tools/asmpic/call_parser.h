#pragma once
// The engine calls of the command line: `Method` or `Method:Name=Value,Name=Value`, with the
// engine's own method and parameter names, case-insensitive.
#include <map>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

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
};

struct MethodSpec {
  const char* name;
  std::vector<ParamSpec> params;
};

// Every call the command line knows: the engine's public interface without its dialogs.
const std::vector<MethodSpec>& KnownMethods();

using Value = std::variant<long long, double, bool>;

struct Call {
  const MethodSpec* method;
  std::map<std::string, Value> values;  // by the parameter's own name; missing ones are left out

  bool has(const std::string& name) const { return values.count(name) != 0; }
  long long integer(const std::string& name, long long fallback) const;
  double number(const std::string& name, double fallback) const;
  bool boolean(const std::string& name, bool fallback) const;
};

// A call that cannot be made: its message says which call and why.
class CallError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Call ParseCall(const std::string& text);

// One value of the given kind; `label` names it in the error.
Value ParseValue(ParamKind kind, const std::string& label, const std::string& text);

}  // namespace asmpic::tool
