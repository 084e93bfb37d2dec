#include "picture.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <vector>

#include "frame.h"
#include "geometry/scene.h"

namespace {

// An OpenGL context of Mesa's surfaceless platform: no display and no window,
// drawing into a pixel buffer. A framebuffer object would do as well, but
// its lines differ from the window's in a few pixels; a pixel buffer, a
// surface of the same kind as the window, gives the window's pixels exactly.
class OffscreenContext {
 public:
  // Without `surface`, the driver's limits alone are asked.
  OffscreenContext(int width, int height, bool surface = true) {
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return;
    display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, nullptr, nullptr)) return;
    if (!eglBindAPI(EGL_OPENGL_API)) return;
    const EGLint wanted[] = {EGL_SURFACE_TYPE,
                             EGL_PBUFFER_BIT,
                             EGL_RENDERABLE_TYPE,
                             EGL_OPENGL_BIT,
                             EGL_RED_SIZE,
                             8,
                             EGL_GREEN_SIZE,
                             8,
                             EGL_BLUE_SIZE,
                             8,
                             EGL_DEPTH_SIZE,
                             16,
                             EGL_NONE};
    EGLConfig config;
    EGLint found = 0;
    if (!eglChooseConfig(display_, wanted, &config, 1, &found) || found == 0) return;
    eglGetConfigAttrib(display_, config, EGL_MAX_PBUFFER_WIDTH, &largestWidth_);
    eglGetConfigAttrib(display_, config, EGL_MAX_PBUFFER_HEIGHT, &largestHeight_);
    if (width > largestWidth_ || height > largestHeight_) {
      tooLarge_ = true;
      return;
    }
    if (!surface) return;
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display_, config, size);
    context_ = eglCreateContext(display_, config, EGL_NO_CONTEXT, nullptr);
    ready_ = surface_ != EGL_NO_SURFACE && context_ != EGL_NO_CONTEXT &&
             eglMakeCurrent(display_, surface_, surface_, context_);
  }
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;
  ~OffscreenContext() {
    if (display_ == EGL_NO_DISPLAY) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
    if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
    eglTerminate(display_);
  }

  bool ready() const { return ready_; }
  bool tooLarge() const { return tooLarge_; }
  int largestWidth() const { return largestWidth_; }
  int largestHeight() const { return largestHeight_; }

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
  bool ready_ = false;
  bool tooLarge_ = false;
  EGLint largestWidth_ = 0, largestHeight_ = 0;
};

// A map's picture, all of it painted on the processor: no graphics driver,
// and any size memory holds.
PictureResult writeMapPicture(const Drawing& drawing, PngFile& file, int width, int height) {
  try {
    PaintCache cache;
    const Frame frame = firstFrame(drawing, scene.minCorner, scene.maxCorner, width, height);
    paintOnProcessor(drawing, placementOf(drawing, frame), width, height, cache);
    flipRows(cache.pixels, width, height);
    const int error = file.write(width, height, cache.pixels.data());
    return {error ? PictureOutcome::CannotWrite : PictureOutcome::Written, error};
  } catch (const std::bad_alloc&) {
    return {PictureOutcome::OutOfMemory};
  }
}

}  // namespace

bool pictureSizeDrawn(int width, int height, int& largestWidth, int& largestHeight) {
  const OffscreenContext limits(width, height, false);
  largestWidth = limits.largestWidth();
  largestHeight = limits.largestHeight();
  return !limits.tooLarge();
}

PictureResult writeFirstFrame(const Drawing& drawing, PngFile& file, int width, int height) {
  if (drawing.mapStyle) return writeMapPicture(drawing, file, width, height);
  OffscreenContext context(width, height);
  if (context.tooLarge()) {
    return {PictureOutcome::TooLarge, 0, context.largestWidth(), context.largestHeight()};
  }
  if (!context.ready()) return {PictureOutcome::NoGraphics};
  try {
    PaintCache cache;
    paintFirstFrame(drawing, firstFrame(drawing, scene.minCorner, scene.maxCorner, width, height),
                    cache);
    glFinish();
    const std::vector<unsigned char> rows = readPixels(width, height, true);
    const int error = file.write(width, height, rows.data());
    return {error ? PictureOutcome::CannotWrite : PictureOutcome::Written, error};
  } catch (const std::bad_alloc&) {
    return {PictureOutcome::OutOfMemory};
  }
}
