// Every long loop honours a stop signal within a fraction of a second: it
// asks whether to stop once in so many steps, where asking costs nothing
// beside the work.
#pragma once

#include <cstdint>

// Whether a loop at `step` is to stop: `stopped()` asked at step 0 and once
// in every `every` steps after it (a power of two).
template <class Stopped>
bool stopDue(std::uint64_t step, Stopped&& stopped, std::uint64_t every = 1 << 16) {
  return (step & (every - 1)) == 0 && stopped();
}
