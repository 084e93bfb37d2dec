// PNG files written whole or not at all: the pixels go to a file without a
// name in the target's folder, which takes the target's name only once it is
// complete. A full disk or a run that ends early leaves an earlier file of
// that name as it was, and no half-written file beside it.
#pragma once

#include <string>

class PngFile {
 public:
  PngFile() = default;
  PngFile(const PngFile&) = delete;
  PngFile& operator=(const PngFile&) = delete;
  ~PngFile();  // an unfinished file is dropped

  // Makes the file in the folder of `path`, so that a folder that is missing
  // or not writable shows at once. Returns 0 or the errno.
  int open(const std::string& path);

  // Writes `height` rows of `width` RGB pixels, top row first, and gives the
  // file the name opened with, in place of any file of that name, or, without
  // `replace`, only where there is none (EEXIST otherwise). Returns 0 or the
  // errno.
  int write(int width, int height, const unsigned char* rgb, bool replace = true);

  bool isOpen() const { return fd_ >= 0; }

 private:
  int name(bool replace);

  int fd_ = -1;
  std::string path_;       // the name the file takes when written
  std::string temporary_;  // a named stand-in, where the folder has no unnamed files
  bool inPlace_ = false;   // a device or a pipe, written as it is
};
