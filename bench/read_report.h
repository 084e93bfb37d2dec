// Reads a program's report from its pipe until `lines` lines have come, so
// that what is timed after starts at the end of the report.
#pragma once

#include <unistd.h>

#include <cstring>

inline long long readReport(int fd, long long lines) {
  long long seen = 0;
  static char buffer[1 << 20];
  while (seen < lines) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    for (const char* p = buffer;
         (p = static_cast<const char*>(std::memchr(p, '\n', std::size_t(buffer + got - p)))); ++p) {
      ++seen;
    }
  }
  return seen;
}
