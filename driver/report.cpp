#include "report.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "signals.h"

namespace {

// Whether a write to `fd` may wait on a reader: pipes, terminals and
// sockets. Files and devices such as /dev/null take what they are given.
bool waitsOnReader(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return false;
  return S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) ||
         (S_ISCHR(status.st_mode) && isatty(fd));
}

// How much a pipe takes at once without its write waiting: its free pages,
// less two for a page its reader has half read and one the last write half
// filled. At least one page, which poll's POLLOUT promises; only that for a
// terminal or a socket.
std::size_t roomInPipe(int fd) {
  const int size = fcntl(fd, F_GETPIPE_SZ);
  int unread = 0;
  if (size <= 0 || ioctl(fd, FIONREAD, &unread) != 0) return PIPE_BUF;
  const long room = long(size) - unread - 2 * 4096;
  return room > long(PIPE_BUF) ? std::size_t(room) : PIPE_BUF;
}

// Writes all of [at, end) unless a write fails; returns the errno, or 0, and
// in `written` how much was written. An output that the parent left
// non-blocking is waited for, not given up on.
//
// A reader that has stopped reading must not keep a stop signal from ending
// the run, and what reached it must end with a whole line. So where a write
// may wait on the reader, each write is only as long as the reader can take
// at once, cut at a line end, after poll says there is room; between writes,
// a stop signal ends the writing.
int writeAll(int fd, const char* at, const char* end, std::size_t& written) {
  written = 0;
  const bool paced = waitsOnReader(fd);
  while (at != end) {
    std::size_t length = std::size_t(end - at);
    if (paced) {
      if (stopSignal()) return 0;
      pollfd writable{fd, POLLOUT, 0};
      if (poll(&writable, 1, 100) <= 0) continue;  // EINTR: a signal, looked at above
      const std::size_t room = roomInPipe(fd);
      if (length > room) {
        const void* lastEnd = memrchr(at, '\n', room);
        length = lastEnd ? std::size_t(static_cast<const char*>(lastEnd) - at) + 1 : room;
      }
    }
    const ssize_t n = write(fd, at, length);
    if (n > 0) {
      at += n;
      written += std::size_t(n);
    } else if (n == 0) {
      return EIO;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd writable{fd, POLLOUT, 0};
      poll(&writable, 1, 100);
    } else if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

// A file left with part of a line (the disk filled up mid-write) is cut back
// to its last whole line.
void cutToWholeLines(int fd, const char* buffer, std::size_t written) {
  struct stat status {};
  if (written == 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return;
  const void* lastEnd = memrchr(buffer, '\n', written);
  const std::size_t partial =
      lastEnd ? written - std::size_t(static_cast<const char*>(lastEnd) - buffer + 1) : written;
  const off_t end = lseek(fd, 0, SEEK_CUR);
  if (partial > 0 && end >= off_t(partial)) {
    [[maybe_unused]] const int ignored = ftruncate(fd, end - off_t(partial));
  }
}

// Writes `size` bytes of `buffer`, whole lines, unless an earlier write has
// failed or a stop signal came.
void writeBuffer(ReportBuffer& out, const char* buffer, std::size_t size) {
  if (out.error != 0 || stopSignal()) return;
  std::size_t written = 0;
  if (const int failed = writeAll(out.fd, buffer, buffer + size, written)) {
    cutToWholeLines(out.fd, buffer, written);
    out.error = failed;
  }
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
    : fd(target),
      data(static_cast<char*>(allocatePages(2 * bufferBytes))),
      spare(data + bufferBytes) {
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
  if (data) releasePages(std::min(data, spare), 2 * bufferBytes);
}

void writeCsvHeader(ReportBuffer& out, std::string_view header) {
  std::memcpy(out.data + out.used, header.data(), header.size());
  out.used += header.size();
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

void finishWriting(ReportBuffer& out) {
  std::unique_lock<std::mutex> held(out.lock);
  out.changed.wait(held, [&] { return out.spareUsed == 0; });
}

bool flushReport(ReportBuffer& out) {
  passOnReport(out);
  finishWriting(out);
  return out.error == 0;
}
