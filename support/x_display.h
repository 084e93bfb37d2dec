// A private X server for window tests, and what a user's eyes and hands do
// with a window: find it, look at its pixels, resize it, close it.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

// Xvfb on a free display number, stopped when this goes away. Sets DISPLAY
// for the test process and its children.
class XvfbServer {
 public:
  XvfbServer();
  // On display :number, or throws.
  explicit XvfbServer(int number);
  // A display number no server takes now.
  static int unusedNumber();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  const std::string& name() const { return name_; }

 private:
  bool start(int number);

  int pid_ = -1;
  std::string name_;
};

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // rows from the top
  Rgb at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  bool operator==(const Image&) const = default;
  int count(Rgb colour) const;
};

struct Geometry {
  int x, y, width, height;
};

// A connection to the server named by DISPLAY, closed when this goes away.
class XClient {
 public:
  XClient();
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  // The top-level window with this title, or 0 when none shows up in time.
  Window findWindow(const std::string& title, double timeoutSeconds = 10);
  std::string title(Window window);
  Geometry geometry(Window window);
  Image capture(Window window);
  // Captures until the picture is drawn (not all black) and has stopped
  // changing for a while.
  Image captureSettled(Window window, double timeoutSeconds = 10);
  // Captures until the picture differs from `before`, then until it settles.
  Image captureChanged(Window window, const Image& before, double timeoutSeconds = 10);
  void resize(Window window, int width, int height);
  // What a window manager sends when the user closes the window.
  void requestClose(Window window);
  // Another client destroying the window outright.
  void destroy(Window window);

  // A user's hands, through the XTEST extension: the pointer moves into the
  // window first, so that it has the keyboard. Positions are in window pixels.
  void pressKey(Window window, unsigned long keysym);
  void turnWheel(Window window, int x, int y, bool up);
  void drag(Window window, int fromX, int fromY, int toX, int toY);
  void click(Window window, int x, int y);

 private:
  Display* display_;
};

// Writes an image as PNG.
bool writePng(const Image& image, const std::string& path);

// Reads an 8-bit RGB PNG file; an empty image if it cannot.
Image readPng(const std::string& path);
