#include "report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace {

// Writes all of [at, end) unless a write fails; returns the errno, or 0.
int writeAll(int fd, const char* at, const char* end) {
  while (at != end) {
    const ssize_t written = write(fd, at, std::size_t(end - at));
    if (written > 0) {
      at += written;
    } else if (written == 0) {
      return EIO;
    } else if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

// Writes `size` bytes of `buffer` unless an earlier write has failed.
void writeBuffer(ReportBuffer& out, const char* buffer, std::size_t size) {
  if (out.error != 0) return;
  if (const int failed = writeAll(out.fd, buffer, buffer + size)) out.error = failed;
}

void writeHandedOver(ReportBuffer& out) {
  std::unique_lock<std::mutex> held(out.lock);
  for (;;) {
    out.changed.wait(held, [&] { return out.spareUsed > 0 || out.closing; });
    if (out.spareUsed == 0) return;  // closing, and nothing left
    const std::size_t size = out.spareUsed;
    held.unlock();
    writeBuffer(out, out.spare, size);
    held.lock();
    out.spareUsed = 0;
    out.changed.notify_all();
  }
}

}  // namespace

ReportBuffer::ReportBuffer(int target)
    : fd(target), data(static_cast<char*>(allocatePages(chunkBytes))), spare(data + bufferBytes) {
  static_assert(2 * bufferBytes <= chunkBytes);
  if (!data) spare = nullptr;
}

ReportBuffer::~ReportBuffer() {
  if (writer.joinable()) {
    {
      std::lock_guard<std::mutex> held(lock);
      closing = true;
    }
    changed.notify_all();
    writer.join();
  }
  if (data) releasePages(std::min(data, spare), chunkBytes);
}

void passOnReport(ReportBuffer& out) {
  if (out.used == 0) return;
  std::unique_lock<std::mutex> held(out.lock);
  out.changed.wait(held, [&] { return out.spareUsed == 0; });
  if (!out.writer.joinable()) {
    try {
      out.writer = std::thread(writeHandedOver, std::ref(out));
    } catch (const std::system_error&) {
      // No thread to be had (a process or memory limit): write here.
      writeBuffer(out, out.data, out.used);
      out.used = 0;
      return;
    }
  }
  std::swap(out.data, out.spare);
  out.spareUsed = out.used;
  out.used = 0;
  out.changed.notify_all();
}

bool flushReport(ReportBuffer& out) {
  passOnReport(out);
  std::unique_lock<std::mutex> held(out.lock);
  out.changed.wait(held, [&] { return out.spareUsed == 0; });
  return out.error == 0;
}
