#pragma once
// Turning a run's total time into its score, and the texts built from times and scores.
#include <cstdint>
#include <string>

#include "platform/image.h"

namespace asmpic::app {

inline constexpr platform::Colour kGreen = 65280;  // 0x00FF00
inline constexpr platform::Colour kRed = 255;      // 0x0000FF

struct Score {
  std::int32_t value;
  platform::Colour colour;  // kGreen or kRed
};

// P = T x 100 in single precision, rounded half to even; S = (10000 - P) / 2 rounded half to even.
// S >= 1 is green; otherwise the red score (100000 - P) / 2, rounded half to even.
Score ComputeScore(float totalSeconds);

// The name of a score's colour as the results print it: "green", "red", or "other" for a label
// colour that no run sets.
const char* ColourName(platform::Colour colour);

// A time as the list shows it: seven significant digits, no trailing zeros, no exponent, the
// given decimal separator, a leading zero below 1 and a minus sign when negative.
std::string FormatSeconds(float seconds, const std::string& decimalSeparator);

// The elapsed time between two time-of-day readings. When the clock went back, the run either
// passed midnight (the clock restarted at 0), and the time gains a day, or the time of day was
// corrected (time synchronisation, the end of daylight saving), and the time is the monotonic
// clock's instead. It passed midnight when the day-corrected time agrees with the monotonic
// clock's `monotonicElapsed` seconds. A forward difference that disagrees with the monotonic one
// by more than the time of day's resolution (the clock was set forward, or back by less than the
// test took) is the monotonic one too.
float ElapsedSeconds(float start, float end, double monotonicElapsed);

// The mail link that offers the score: subject "My score is " + the label's text + A (green) or
// B (red). The recipient is left for the user to choose.
std::string MailLink(const std::string& scoreText, char suffix);
// The same subject as the user reads it: "My score is " + the label's text + the suffix.
std::string MailSubject(const std::string& scoreText, char suffix);

}  // namespace asmpic::app
