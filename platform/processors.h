#pragma once
// How many processors this process may run on: its affinity mask (taskset, cgroup cpusets,
// container limits), which may be fewer than the machine has.
namespace asmpic::platform {

// The processors in this process's affinity mask; at least 1.
int UsableProcessors();

}  // namespace asmpic::platform
