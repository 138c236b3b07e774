#include "platform/processors.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace asmpic::platform {

int UsableProcessors() {
  // The mask may be larger than the fixed cpu_set_t on machines with many processors: grow it
  // until the kernel accepts it.
  for (int size = 1024; size <= 1 << 20; size *= 2) {
    cpu_set_t* set = CPU_ALLOC(size);
    if (set == nullptr) break;
    const std::size_t bytes = CPU_ALLOC_SIZE(size);
    CPU_ZERO_S(bytes, set);
    const int status = sched_getaffinity(0, bytes, set);
    const int count = status == 0 ? CPU_COUNT_S(bytes, set) : 0;
    CPU_FREE(set);
    if (status == 0) return std::max(count, 1);
    if (errno != EINVAL) break;
  }
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
}

}  // namespace asmpic::platform
