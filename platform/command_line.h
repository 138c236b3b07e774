#pragma once
// What the command lines of asmbench and asmpic share: numbers checked strictly, help people can
// read, and errors that name the program and suggest the nearest option for a typo.
#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace asmpic::platform {

// A whole number written in decimal digits (with an optional sign), from `low` to `high`.
// CLI11 alone reads 0x10 as 16 and 010 as 8; here both are malformed, and so is a number that no
// 32-bit integer holds whatever the range. Use it on every whole-number option.
CLI::Validator WholeNumber(long long low, long long high);

// A finite decimal number from `low` to `high` (no hexadecimal, no inf or nan).
CLI::Validator DecimalNumber(double low, double high);

// Help without clutter: an option's column shows its names and the kind of value it takes
// (no Needs:/Excludes: lists, no validator text), and descriptions wrap at 100 columns.
std::shared_ptr<CLI::Formatter> ReadableHelp();

// The option of `app` nearest to `typo` by edit distance, when one is near enough to be meant.
std::optional<std::string> NearestOption(const CLI::App& app, const std::string& typo);

// The name among `names` nearest to `typo` by edit distance, when one is near enough to be meant;
// letters compared without their case when `ignoreCase`.
std::optional<std::string> NearestName(const std::string& typo, const std::vector<std::string>& names,
                                       bool ignoreCase = false);

// Parses the command line. Returns the exit status when the program ends here: 0 after --help or
// --version, 2 after a malformed command line (reported on stderr as "PROGRAM: what is wrong",
// with the nearest option for an unknown one, and for an option whose value looks like an option,
// such as "--json --no-save", unless written "--json=--no-save"); nothing when the program goes on.
std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv, const std::string& program);

}  // namespace asmpic::platform
