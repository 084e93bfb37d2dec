#include "memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "geometry/figures.h"

namespace {

std::uint64_t meminfoAvailable() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return UINT64_MAX;
  char line[256];
  unsigned long long kib = 0;
  std::uint64_t found = UINT64_MAX;
  while (std::fgets(line, sizeof line, f)) {
    if (std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1) {
      found = std::uint64_t(kib) * 1024;
      break;
    }
  }
  std::fclose(f);
  return found;
}

std::uint64_t cgroupAvailable() {
  std::FILE* f = std::fopen("/sys/fs/cgroup/memory.max", "r");
  if (!f) return UINT64_MAX;
  unsigned long long limit = 0;
  const bool limited = std::fscanf(f, "%llu", &limit) == 1;  // "max" means none
  std::fclose(f);
  if (!limited) return UINT64_MAX;
  unsigned long long used = 0;
  if ((f = std::fopen("/sys/fs/cgroup/memory.current", "r"))) {
    if (std::fscanf(f, "%llu", &used) != 1) used = 0;
    std::fclose(f);
  }
  return limit > used ? limit - used : 0;
}

std::uint64_t rlimitAvailable(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  return limit.rlim_cur;
}

}  // namespace

std::uint64_t availableMemory() {
  return std::min({meminfoAvailable(), cgroupAvailable(), rlimitAvailable(RLIMIT_AS),
                   rlimitAvailable(RLIMIT_DATA)});
}

std::uint64_t minimumSceneBytes(std::uint64_t segmentCount) {
  const std::uint64_t pairs = segmentCount < 2 ? 0 : segmentCount * (segmentCount - 1) / 2;
  return pairs * sizeof(Segment);
}

std::uint64_t segmentsThatFit(std::uint64_t bytes) {
  // n(n-1)/2 * size <= bytes  =>  n <= (1 + sqrt(1 + 8 bytes / size)) / 2
  const double pairs = double(bytes) / sizeof(Segment);
  return std::uint64_t((1 + std::sqrt(1 + 8 * pairs)) / 2);
}
