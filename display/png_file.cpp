#include "png_file.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The failure is told by the caller, with the file's name; libpng's own
// words would only repeat it.
[[noreturn]] void quietError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void quietWarning(png_structp, png_const_charp) {}

int pngInto(std::FILE* file, int w, int h, const unsigned char* rgb) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    const int error = errno ? errno : EIO;
    png_destroy_write_struct(&png, &info);
    return error;
  }
  errno = 0;
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int row = 0; row < h; ++row) png_write_row(png, rgb + std::size_t(row) * w * 3);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file) != 0 || std::ferror(file)) return errno ? errno : EIO;
  return 0;
}

}  // namespace

PngFile::~PngFile() {
  if (fd_ >= 0) close(fd_);
  if (!temporary_.empty()) unlink(temporary_.c_str());
}

int PngFile::open(const std::string& path) {
  path_ = path;
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    inPlace_ = true;  // /dev/stdout, a pipe: nothing to replace
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    return fd_ < 0 ? errno : 0;
  }
  // A link is followed: the file it names is the one replaced.
  if (char* real = realpath(path.c_str(), nullptr)) {
    path_ = real;
    std::free(real);
  }
  const std::string folder = folderOf(path_);
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
    return fd_ < 0 ? errno : 0;
  }
  // A file system without unnamed files: a hidden stand-in, removed unless
  // it is renamed.
  std::string pattern = path_ + ".XXXXXX";
  fd_ = mkstemp(pattern.data());
  if (fd_ < 0) return errno;
  temporary_ = pattern;
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  return 0;
}

int PngFile::write(int width, int height, const unsigned char* rgb, bool replace) {
  const int copy = dup(fd_);
  std::FILE* file = copy < 0 ? nullptr : fdopen(copy, "wb");
  if (!file) {
    if (copy >= 0) close(copy);
    return errno;
  }
  int error = pngInto(file, width, height, rgb);
  if (std::fclose(file) != 0 && error == 0) error = errno ? errno : EIO;
  // The data on the disk before the name: a crash leaves the old file.
  if (error == 0 && !inPlace_ && fsync(fd_) != 0) error = errno;
  if (error == 0 && !inPlace_) error = name(replace);
  return error;
}

int PngFile::name(bool replace) {
  if (!temporary_.empty()) {
    if ((replace ? rename(temporary_.c_str(), path_.c_str())
                 : link(temporary_.c_str(), path_.c_str())) != 0) {
      return errno;
    }
    if (!replace) unlink(temporary_.c_str());
    temporary_.clear();
    return 0;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (!replace) {
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                           : errno;
  }
  // A name of its own first, then over the target in one step.
  for (int attempt = 0;; ++attempt) {
    const std::string stand =
        path_ + "." + std::to_string(getpid()) + "-" + std::to_string(attempt);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, stand.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST && attempt < 100) continue;
      return errno;
    }
    if (rename(stand.c_str(), path_.c_str()) != 0) {
      const int error = errno;
      unlink(stand.c_str());
      return error;
    }
    return 0;
  }
}
