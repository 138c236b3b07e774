#include "app/run/score.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kernels/rounding.h"

namespace asmpic::app {

Score ComputeScore(float totalSeconds) {
  const float hundredths = totalSeconds * 100.0f;
  // A total beyond any 32-bit count of hundredths (or not a number) scores as the largest count.
  const std::int32_t p = RoundToInt32(hundredths).value_or(2147483647);
  const double green = RoundHalfEven((10000.0 - p) / 2.0);
  if (green >= 1.0) return {static_cast<std::int32_t>(green), kGreen};
  return {static_cast<std::int32_t>(RoundHalfEven((100000.0 - p) / 2.0)), kRed};
}

const char* ColourName(platform::Colour colour) {
  if (colour == kGreen) return "green";
  if (colour == kRed) return "red";
  return "other";
}

std::string FormatSeconds(float seconds, const std::string& decimalSeparator) {
  if (seconds == 0.0f || !std::isfinite(seconds)) return seconds == 0.0f ? "0" : std::to_string(seconds);
  // Seven significant digits: d.dddddde+XX.
  char scientific[32];
  std::snprintf(scientific, sizeof scientific, "%.6e", static_cast<double>(std::fabs(seconds)));
  std::string digits{scientific[0]};
  digits.append(scientific + 2, 6);
  const int exponent = std::atoi(scientific + 9);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string whole;
  std::string fraction;
  if (exponent >= 0) {
    const auto wholeDigits = static_cast<std::size_t>(exponent) + 1;
    whole = digits.substr(0, std::min(wholeDigits, digits.size()));
    whole.append(wholeDigits > digits.size() ? wholeDigits - digits.size() : 0, '0');
    fraction = wholeDigits < digits.size() ? digits.substr(wholeDigits) : "";
  } else {
    whole = "0";
    fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  std::string text = seconds < 0 ? "-" : "";
  text += whole;
  if (!fraction.empty()) text += decimalSeparator + fraction;
  return text;
}

float ElapsedSeconds(float start, float end, double monotonicElapsed) {
  const float elapsed = end - start;
  if (elapsed >= 0.0f) {
    // Each reading is a single-precision time of day, one unit in the last place (1/128 s late in
    // the day) off at most, from a clock that may count whole milliseconds; the two clocks are read
    // a moment apart. A larger disagreement means the time of day was set during the test.
    const float larger = std::max(std::fabs(start), std::fabs(end));
    const double resolution = 2.0 * (std::nextafter(larger, INFINITY) - larger) + 0.002;
    if (std::abs(static_cast<double>(elapsed) - monotonicElapsed) <= resolution) return elapsed;
    return static_cast<float>(monotonicElapsed);
  }
  const float acrossMidnight = elapsed + 86400.0f;
  // The time-of-day clock resolves to 1/128 s late in the day; a second of slack covers that and
  // the moments between the two clocks' readings.
  const double slack = 1.0 + 0.01 * monotonicElapsed;
  if (std::abs(acrossMidnight - monotonicElapsed) <= slack) return acrossMidnight;
  return static_cast<float>(monotonicElapsed);
}

std::string MailSubject(const std::string& scoreText, char suffix) {
  return "My score is " + scoreText + suffix;
}

std::string MailLink(const std::string& scoreText, char suffix) {
  return "mailto:?subject=My%20score%20is%20" + scoreText + suffix;
}

}  // namespace asmpic::app
