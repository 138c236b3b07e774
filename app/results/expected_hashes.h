#pragma once
// The pictures a correct run computes on the shipped start picture (assets/picture1.jpg decoded on
// Debian 12, x86-64) in the standard 297 x 217 Picture1: XXH3-64 of plane 2 after each test's loop,
// and of plane 1, the start picture itself. Computed with the reference kernels; the test
// ExpectedHashes recomputes them and fails when a kernel's output changes, until these are updated
// on purpose.
#include <array>
#include <cstdint>

namespace asmpic::app {

inline constexpr int kStandardWidth = 297;
inline constexpr int kStandardHeight = 217;

inline constexpr std::uint64_t kStartPictureHash = 0x2e3743d435196019ull;

// In the order of kBenchmarkTests: rotate, smoothing, contour, emboss, ripple, relief, twirl.
inline constexpr std::array<std::uint64_t, 7> kExpectedPictureHashes = {
    0xb908da6298c47ed3ull, 0x86da0376e0fefac7ull, 0xd717be199c40632bull, 0x1669ed3a10591525ull,
    0xecd01d42299602f0ull, 0x7a06d59cc8a9a88cull, 0x017d23f49dcaee4cull,
};

}  // namespace asmpic::app
