#pragma once
// One pool of worker threads for the whole process, for kernels that split a large picture into
// bands of rows. Pictures below kParallelPixels stay on the calling thread, so a single engine's
// timings stay single-core.
#include <cstdint>
#include <functional>

namespace asmpic {

inline constexpr std::int64_t kParallelPixels = std::int64_t{1} << 18;

// How many bands a picture of this size splits into: 1 below kParallelPixels, else one per core
// (at most the cap below).
int BandsForPixels(std::int64_t pixels);

// Caps BandsForPixels at `bands` from now on (0 lifts the cap): 1 keeps every picture on the
// calling thread, for timing the kernels on one core.
void SetMaxBands(int bands);

// Runs work(from, to) over rows first..last (inclusive) cut into `bands` consecutive bands, one
// band per task, on the pool's workers and the calling thread; returns when every band is done.
// Runs everything on the calling thread when bands <= 1, when called from a worker, or while
// another thread's bands occupy the pool, so callers never wait on each other.
void RunInBands(std::int64_t first, std::int64_t last, int bands,
                const std::function<void(std::int64_t from, std::int64_t to)>& work);

}  // namespace asmpic
