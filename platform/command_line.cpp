#include "platform/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace asmpic::platform {

namespace {

std::string RangeText(long long low, long long high) {
  return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

std::string NumberText(double number) {
  std::ostringstream text;
  text << number;
  return text.str();
}

std::string Wrapped(const std::string& text, std::size_t width) {
  std::string result;
  std::istringstream paragraphs(text);
  std::string paragraph;
  bool firstParagraph = true;
  while (std::getline(paragraphs, paragraph)) {
    if (!firstParagraph) result += '\n';
    firstParagraph = false;
    std::istringstream words(paragraph);
    std::string word;
    std::size_t column = 0;
    while (words >> word) {
      if (column > 0 && column + 1 + word.size() > width) {
        result += '\n';
        column = 0;
      } else if (column > 0) {
        result += ' ';
        ++column;
      }
      result += word;
      column += word.size();
    }
  }
  return result;
}

class ReadableFormatter : public CLI::Formatter {
 public:
  ReadableFormatter() { column_width(26); }

  std::string make_option_opts(const CLI::Option* option) const override {
    const bool many = option->get_expected_max() == CLI::detail::expected_max_vector_size;
    if (!option->nonpositional()) return many ? " ..." : "";
    if (option->get_type_size() == 0) return "";
    std::string type = option->get_type_name();
    type = type.substr(0, type.find(':'));
    const bool saysMany = type.size() >= 3 && type.compare(type.size() - 3, 3, "...") == 0;
    return " " + type + (many && !saysMany ? " ..." : "");
  }
  std::string make_option_desc(const CLI::Option* option) const override {
    return Wrapped(option->get_description(), 100 - get_column_width());
  }
};

std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The words of the command line that look like options and are none of `app`'s.
std::vector<std::string> UnknownOptions(const CLI::App& app, int argc, char** argv) {
  std::vector<std::string> unknown;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) continue;
    const std::string name = word.substr(0, word.find('='));
    if (app.get_option_no_throw(name) == nullptr) unknown.push_back(name);
  }
  return unknown;
}

// A word that would be taken as an option: a dash and more, not a negative number.
bool LooksLikeOption(const std::string& word) {
  return word.size() >= 2 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9') && word[1] != '.';
}

// The first option of the command line that takes a value and is followed by a word that looks
// like an option ("--json --no-save"), as "--json --no-save"; empty when there is none. The value
// can still be given, written with an equals sign ("--json=--no-save").
std::string OptionValueLookingLikeAnOption(const CLI::App& app, int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") break;
    if (!LooksLikeOption(word) || word.find('=') != std::string::npos) continue;
    const CLI::Option* option = app.get_option_no_throw(word);
    if (option == nullptr || option->get_type_size() == 0 || option->get_expected_min() < 1) continue;
    const std::string next = argv[i + 1];
    if (LooksLikeOption(next)) return word + " " + next;
  }
  return {};
}

}  // namespace

CLI::Validator WholeNumber(long long low, long long high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        std::string_view digits = text;
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        long long value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < low ||
            value > high) {
          return text + " is not " + RangeText(low, high);
        }
        text = std::to_string(value);  // what CLI11 converts next: plain decimal, no leading zeros
        return {};
      },
      "");
}

CLI::Validator DecimalNumber(double low, double high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        std::string_view digits = text;
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        double value = 0;
        // Decimal, with or without an exponent (1e-300); not hexadecimal.
        auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
        if (error == std::errc::result_out_of_range && end == digits.data() + digits.size()) {
          // Too small for a double (1e-400): a tiny number, as close to zero as doubles go.
          const std::string whole(digits);
          const double tiny = std::strtod(whole.c_str(), nullptr);
          if (std::fabs(tiny) < 1.0) {
            value = tiny;
            error = std::errc();
          }
        }
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() ||
            !std::isfinite(value) || value < low || value > high) {
          return text + " is not a number from " + NumberText(low) + " to " + NumberText(high);
        }
        return {};
      },
      "");
}

std::shared_ptr<CLI::Formatter> ReadableHelp() {
  return std::make_shared<ReadableFormatter>();
}

std::optional<std::string> NearestName(const std::string& typo, const std::vector<std::string>& names,
                                       bool ignoreCase) {
  const auto folded = [ignoreCase](std::string text) {
    if (ignoreCase) {
      for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
  };
  const std::string word = folded(typo);
  std::optional<std::string> nearest;
  std::size_t best = std::max<std::size_t>(2, typo.size() / 3) + 1;
  for (const std::string& name : names) {
    const std::size_t distance = EditDistance(word, folded(name));
    if (distance < best) {
      best = distance;
      nearest = name;
    }
  }
  return nearest;
}

std::optional<std::string> NearestOption(const CLI::App& app, const std::string& typo) {
  std::vector<std::string> names;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return NearestName(typo, names);
}

std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv, const std::string& program) {
  if (const std::string pair = OptionValueLookingLikeAnOption(app, argc, argv); !pair.empty()) {
    const std::size_t space = pair.find(' ');
    const std::string option = pair.substr(0, space);
    const std::string value = pair.substr(space + 1);
    std::cerr << program << ": " << option << " needs a value, and " << value
              << " looks like an option; write " << option << "=" << value << " if it is the value\n"
              << "(" << program << " --help lists the options)\n";
    return 2;
  }
  try {
    app.parse(argc, argv);
    return std::nullopt;
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const std::vector<std::string> unknown = UnknownOptions(app, argc, argv);
    if (!unknown.empty()) {
      std::cerr << program << ": there is no option " << unknown.front();
      if (const auto nearest = NearestOption(app, unknown.front()))
        std::cerr << "; did you mean " << *nearest << "?";
      std::cerr << '\n';
    } else {
      std::cerr << program << ": " << e.what() << '\n';
    }
    std::cerr << "(" << program << " --help lists the options)\n";
    return 2;
  }
}

}  // namespace asmpic::platform
