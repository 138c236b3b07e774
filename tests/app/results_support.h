#pragma once
// Shared by the results suites: the shipped start pictures, kernels that do nothing or that
// spoil one test's picture, and scripted clocks.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "kernels/kernel_store.h"
#include "platform/image.h"
#include "platform/picture_io.h"

namespace asmpic::app::testing {

struct StartPictures {
  platform::Image picture1;
  platform::Image picture2;
};

// assets/picture1.jpg and picture2.bmp, loaded once.
inline const StartPictures& Shipped() {
  static const StartPictures pictures = [] {
    auto p1 = platform::LoadPictureFile(ASMPIC_ASSETS "/picture1.jpg");
    auto p2 = platform::LoadPictureFile(ASMPIC_ASSETS "/picture2.bmp");
    EXPECT_TRUE(p1 && p2) << "the shipped start pictures cannot be read";
    return StartPictures{p1 ? *p1 : platform::Image(300, 222), p2 ? *p2 : platform::Image(305, 98)};
  }();
  return pictures;
}

// Kernels that leave the planes alone: runs that cost nothing, for timing tests.
inline void Idle(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t) {}
inline KernelStore IdleKernels() {
  KernelStore store;
  store.rotate = Idle;
  store.pixel = Idle;
  return store;
}

// The engine's pixel kernel, except that the ripple (opcode 3) changes one byte more: a kernel
// whose output changed.
inline void SpoiltRipple(KernelParams* block, std::uint32_t a, std::uint32_t b, std::intptr_t c) {
  PixelKernelBaseline(block, a, b, c);
  // An addition, not a flip: a pixel the ripple leaves in place would flip back on every other call.
  if (block->opcode == 3) ++PlanePtr(*block, 2)[17];
}
inline KernelStore SpoiltRippleKernels() {
  KernelStore store;
  store.pixel = SpoiltRipple;
  return store;
}

// A clock that returns the given readings in turn, then keeps returning the last one plus one.
class Script {
 public:
  explicit Script(std::vector<double> readings) : readings_(std::move(readings)) {}
  double Next() {
    if (next_ < readings_.size()) return readings_[next_++];
    return readings_.empty() ? 0.0 : readings_.back() + static_cast<double>(++next_ - readings_.size());
  }
  std::size_t used() const { return next_; }

 private:
  std::vector<double> readings_;
  std::size_t next_ = 0;
};

// A monotonic clock safe to read from many threads: each reading is a millisecond later.
class Ticking {
 public:
  double Next() { return 0.001 * static_cast<double>(ticks_.fetch_add(1) + 1); }

 private:
  std::atomic<long long> ticks_{0};
};

}  // namespace asmpic::app::testing
