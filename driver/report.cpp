#include "report.h"

#include <unistd.h>

#include <cerrno>

bool flushReport(ReportBuffer& out) {
  const char* at = out.data;
  const char* end = out.data + out.used;
  while (out.error == 0 && at != end) {
    const ssize_t written = write(out.fd, at, std::size_t(end - at));
    if (written > 0) {
      at += written;
    } else if (written < 0 && errno != EINTR) {
      out.error = errno;
    } else if (written == 0) {
      out.error = EIO;
    }
  }
  out.used = 0;
  return out.error == 0;
}
