#include "picture.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <new>
#include <vector>

#include "draw.h"
#include "window.h"

namespace {

constexpr int width = 1024, height = 700;

// An OpenGL context of Mesa's surfaceless platform: no display and no window,
// drawing into a pixel buffer. A framebuffer object would do as well, but
// its lines differ from the window's in a few pixels; a pixel buffer, a
// surface of the same kind as the window, gives the window's pixels exactly.
class OffscreenContext {
 public:
  OffscreenContext() {
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

 private:
  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLSurface surface_ = EGL_NO_SURFACE;
  EGLContext context_ = EGL_NO_CONTEXT;
  bool ready_ = false;
};

}  // namespace

PictureResult writeFirstFrame(PngFile& file) {
  OffscreenContext context;
  if (!context.ready()) return {PictureOutcome::NoGraphics};
  std::vector<unsigned char> pixels, rows;
  try {
    pixels.resize(std::size_t(width) * height * 3);
    rows.resize(pixels.size());
  } catch (const std::bad_alloc&) {
    return {PictureOutcome::OutOfMemory};
  }
  paintFirstFrame(width, height);
  glFinish();
  // OpenGL reads rows from the bottom up; the file lists them from the top.
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  const std::size_t stride = std::size_t(width) * 3;
  for (int row = 0; row < height; ++row) {
    std::copy_n(&pixels[std::size_t(height - 1 - row) * stride], stride,
                &rows[std::size_t(row) * stride]);
  }
  const int error = file.write(width, height, rows.data());
  return {error ? PictureOutcome::CannotWrite : PictureOutcome::Written, error};
}
