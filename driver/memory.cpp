#include "memory.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "geometry/figure_list.h"
#include "geometry/figures.h"

namespace {

// Fixed: the report's two buffers and the first chunk of each scene list.
constexpr std::uint64_t fixedBytes = 4 * chunkBytes;
// Per segment: one run of the scene and the segment once among its figures,
// with its key, its row screening columns and flag.
constexpr std::uint64_t loopBytesPerSegment = sizeof(FigureList<Segment>::Run) + sizeof(Segment) +
                                              sizeof(std::uint32_t) + 5 * sizeof(float) + 1;

// A "Name: <n> kB" line of a /proc file, in bytes.
std::uint64_t procKilobytes(const char* path, const char* name) {
  std::FILE* f = std::fopen(path, "r");
  if (!f) return UINT64_MAX;
  char line[256];
  unsigned long long kib = 0;
  std::uint64_t found = UINT64_MAX;
  const std::size_t length = std::strlen(name);
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, name, length) == 0 && line[length] == ':' &&
        std::sscanf(line + length + 1, "%llu", &kib) == 1) {
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

// What a resource limit leaves beside what the process already uses of it.
std::uint64_t rlimitAvailable(int resource, const char* usedName) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
  std::uint64_t used = procKilobytes("/proc/self/status", usedName);
  if (used == UINT64_MAX) used = 0;
  return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

}  // namespace

std::uint64_t availableMemory() {
  return std::min({procKilobytes("/proc/meminfo", "MemAvailable"), cgroupAvailable(),
                   rlimitAvailable(RLIMIT_AS, "VmSize"), rlimitAvailable(RLIMIT_DATA, "VmData")});
}

std::uint64_t minimumLoopBytes(std::uint64_t segmentCount) {
  return fixedBytes + segmentCount * loopBytesPerSegment;
}

std::uint64_t segmentsThatFit(std::uint64_t bytes) {
  if (bytes <= fixedBytes) return 0;
  return (bytes - fixedBytes) / (loopBytesPerSegment + sizeof(Segment));
}

std::uint64_t inputBudget(std::uint64_t bytes) {
  return segmentsThatFit(bytes) * sizeof(Segment);
}

// Mesa's software driver (llvmpipe), measured with one malloc arena on the
// machine this was built on: starting it and drawing a small scene maps
// about 280 MB of address space (LLVM, thread stacks, the framebuffers),
// writes about 70 MB of private data and keeps about as much resident; each
// byte of vertices drawn adds about 10 more of each. The figures below carry
// a margin over those. The address space matters only under a limit on it:
// most of it is reserved, never used.
constexpr std::uint64_t graphicsAddressBytes = std::uint64_t(320) << 20;
constexpr std::uint64_t graphicsDataBytes = std::uint64_t(96) << 20;
constexpr std::uint64_t graphicsBytesPerVertexByte = 12;
// A picture's pixels beyond the window's, which the figures above take in:
// the driver's colour and depth buffers, the pixels read back, and those
// painted on the processor with both threads' canvases.
constexpr std::uint64_t graphicsBytesPerPixel = 32;
constexpr std::uint64_t windowPixels = 1024 * 700;

bool graphicsFit(std::uint64_t vertexBytes, std::uint64_t pictureWidth,
                 std::uint64_t pictureHeight) {
  const std::uint64_t pixels = pictureWidth * pictureHeight;
  // The painters index pixels with int: no picture beyond 2^30 of them.
  if (pixels > (std::uint64_t(1) << 30)) return false;
  const std::uint64_t scene =
      vertexBytes * graphicsBytesPerVertexByte +
      (pixels > windowPixels ? pixels - windowPixels : 0) * graphicsBytesPerPixel;
  return rlimitAvailable(RLIMIT_AS, "VmSize") >= graphicsAddressBytes + scene &&
         availableMemory() >= graphicsDataBytes + scene;
}
