#include "x_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstring>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int lockOwner(int display) {
  std::FILE* lock = std::fopen(("/tmp/.X" + std::to_string(display) + "-lock").c_str(), "r");
  if (!lock) return -1;
  int pid = -1;
  if (std::fscanf(lock, "%d", &pid) != 1) pid = -1;
  std::fclose(lock);
  return pid;
}

}  // namespace

XvfbServer::XvfbServer() {
  // Try display numbers from one that depends on the process, so that test
  // processes running side by side rarely contend; a number already taken
  // makes that server exit at once, and the next one is tried.
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (start(100 + (getpid() + attempt * 7) % 800)) return;
  }
  throw std::runtime_error("Xvfb did not start (is the xvfb package installed?)");
}

XvfbServer::XvfbServer(int number) {
  if (!start(number)) throw std::runtime_error("Xvfb did not start on :" + std::to_string(number));
}

int XvfbServer::unusedNumber() {
  for (int attempt = 0;; ++attempt) {
    const int number = 100 + (getpid() + 13 + attempt * 11) % 800;
    if (access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) != 0) return number;
  }
}

bool XvfbServer::start(int number) {
  const std::string name = std::string(":").append(std::to_string(number));
  const std::string socket = std::string("/tmp/.X11-unix/X").append(std::to_string(number));
  if (access(socket.c_str(), F_OK) == 0) return false;
  pid_ = fork();
  if (pid_ == 0) {
    unsetenv("LD_PRELOAD");  // the server is not under test
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    if (!getenv("XVFB_VERBOSE")) dup2(null, 2);  // set it to see why a server fails
    execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1600x1200x24", "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto deadline = after(10);
  while (Clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) break;  // it gave up on this number
    // Up, and ours: the server's lock file holds the pid of the server
    // that took the number (another test's server may have won it).
    if (Display* d = XOpenDisplay(name.c_str())) {
      XCloseDisplay(d);
      if (lockOwner(number) != pid_) break;
      name_ = name;
      setenv("DISPLAY", name_.c_str(), 1);
      return true;
    }
    pause(20);
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  return false;
}

XvfbServer::~XvfbServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

int Image::count(Rgb colour) const {
  int n = 0;
  for (const Rgb& p : pixels) n += p == colour;
  return n;
}

XClient::XClient() : display_(XOpenDisplay(nullptr)) {
  if (!display_) throw std::runtime_error("cannot open the X display");
}

XClient::~XClient() {
  XCloseDisplay(display_);
}

std::string XClient::title(Window window) {
  char* name = nullptr;
  std::string result;
  if (XFetchName(display_, window, &name) && name) result = name;
  if (name) XFree(name);
  return result;
}

Window XClient::findWindow(const std::string& wanted, double timeoutSeconds) {
  const auto deadline = after(timeoutSeconds);
  while (Clock::now() < deadline) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
      for (unsigned k = 0; k < count && !found; ++k) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display_, children[k], &attributes) &&
            attributes.map_state == IsViewable && title(children[k]) == wanted) {
          found = children[k];
        }
      }
      if (children) XFree(children);
    }
    if (found) return found;
    pause(20);
  }
  return 0;
}

Geometry XClient::geometry(Window window) {
  XWindowAttributes a;
  XGetWindowAttributes(display_, window, &a);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  return Geometry{x, y, a.width, a.height};
}

Image XClient::capture(Window window) {
  XSync(display_, False);
  const Geometry g = geometry(window);
  Image image;
  XImage* x =
      XGetImage(display_, window, 0, 0, unsigned(g.width), unsigned(g.height), AllPlanes, ZPixmap);
  if (!x) return image;
  image.width = g.width;
  image.height = g.height;
  image.pixels.reserve(std::size_t(g.width) * g.height);
  // Xvfb's usual 24-bit visual, read straight from the image's rows: a
  // capture per millisecond with a call per pixel would take a core from
  // the program whose frames are being timed.
  if (x->bits_per_pixel == 32 && x->red_mask == 0xFF0000 && x->green_mask == 0xFF00 &&
      x->blue_mask == 0xFF) {
    for (int row = 0; row < g.height; ++row) {
      const char* line = x->data + std::size_t(row) * std::size_t(x->bytes_per_line);
      for (int col = 0; col < g.width; ++col) {
        std::uint32_t p;
        std::memcpy(&p, line + 4 * std::size_t(col), 4);
        if (x->byte_order == MSBFirst) p = __builtin_bswap32(p);
        image.pixels.push_back(Rgb{std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
      }
    }
    XDestroyImage(x);
    return image;
  }
  for (int row = 0; row < g.height; ++row) {
    for (int col = 0; col < g.width; ++col) {
      const unsigned long p = XGetPixel(x, col, row);
      image.pixels.push_back(Rgb{std::uint8_t((p & x->red_mask) >> 16),
                                 std::uint8_t((p & x->green_mask) >> 8),
                                 std::uint8_t(p & x->blue_mask)});
    }
  }
  XDestroyImage(x);
  return image;
}

Image XClient::captureSettled(Window window, double timeoutSeconds) {
  const auto deadline = after(timeoutSeconds);
  Image last = capture(window);
  auto unchangedSince = Clock::now();
  while (Clock::now() < deadline) {
    pause(50);
    Image next = capture(window);
    const bool drawn = next.count(Rgb{0, 0, 0}) != int(next.pixels.size());
    if (!(next == last) || !drawn) {
      last = std::move(next);
      unchangedSince = Clock::now();
    } else if (Clock::now() - unchangedSince > std::chrono::milliseconds(500)) {
      break;
    }
  }
  return last;
}

Image XClient::captureChanged(Window window, const Image& before, double timeoutSeconds) {
  const auto deadline = after(timeoutSeconds);
  while (Clock::now() < deadline && capture(window) == before) pause(20);
  return captureSettled(window, timeoutSeconds);
}

void XClient::destroy(Window window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
}

namespace {

void movePointer(Display* display, Window window, int x, int y) {
  int rootX = 0, rootY = 0;
  Window child;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
  XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
  XSync(display, False);
}

}  // namespace

void XClient::pressKey(Window window, unsigned long keysym) {
  const Geometry g = geometry(window);
  movePointer(display_, window, g.width / 2, g.height / 2);
  XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
  const unsigned keycode = XKeysymToKeycode(display_, KeySym(keysym));
  XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
  XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
  XSync(display_, False);
}

void XClient::turnWheel(Window window, int x, int y, bool up) {
  movePointer(display_, window, x, y);
  const unsigned button = up ? 4 : 5;
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  XSync(display_, False);
}

void XClient::drag(Window window, int fromX, int fromY, int toX, int toY) {
  movePointer(display_, window, fromX, fromY);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XSync(display_, False);
  for (int step = 1; step <= 4; ++step) {
    movePointer(display_, window, fromX + (toX - fromX) * step / 4,
                fromY + (toY - fromY) * step / 4);
  }
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
}

void XClient::click(Window window, int x, int y) {
  movePointer(display_, window, x, y);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
}

void XClient::resize(Window window, int width, int height) {
  XResizeWindow(display_, window, unsigned(width), unsigned(height));
  XSync(display_, False);
}

void XClient::requestClose(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, window, False, NoEventMask, &event);
  XSync(display_, False);
}
