#include "picture.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cerrno>
#include <new>
#include <vector>

#include "frame.h"
#include "geometry/scene.h"

namespace {

constexpr int width = firstWidth, height = firstHeight;

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

PictureResult writeFirstFrame(const Drawing& drawing, PngFile& file) {
  OffscreenContext context;
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
