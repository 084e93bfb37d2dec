// The window's state, one struct owned by window.cpp, and the handlers of
// its events (window_events.cpp), which the toolkit calls without any
// argument of ours.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "draw.h"
#include "frame.h"
#include "inspect.h"
#include "view.h"

struct WindowState {
  // The toolkit, started once; while it starts, it may end the process for
  // want of a display.
  bool toolkitStarted = false;
  bool toolkitStarting = false;

  // What the window shows, made before it opened.
  const Drawing* drawing = nullptr;
  const Inspection* inspection = nullptr;
  PaintCache cache;

  Frame frame;     // what the window shows now
  View firstView;  // back on r or Home
  bool labelsShown = false;
  bool crossingsShown = true;  // t hides them: millions of dots cover a map
  bool readoutShown = false;   // c: the scene point under the pointer
  int pointerX = 0, pointerY = 0;
  Selection selection;

  // The left button: a press and release within a few pixels is a click,
  // which selects; anything longer is a drag, which pans.
  bool pressed = false;
  bool dragged = false;  // moved further than a click from where it was pressed
  int pressX = 0, pressY = 0, dragX = 0, dragY = 0;
  View pressView{};
  bool pressOnFirstView = true;

  // The scene's pixels in the last frame painted, before anything drawn over
  // them, and what they show: a change of the selection or the caption alone
  // puts them back instead of painting the scene again.
  struct Painted {
    Frame frame{};
    bool labels = false;
    bool crossings = true;
    bool operator==(const Painted& other) const {
      return frame.view == other.frame.view && frame.firstView == other.frame.firstView &&
             frame.width == other.frame.width && frame.height == other.frame.height &&
             labels == other.labels && crossings == other.crossings;
    }
  };
  Painted painted{};
  std::vector<std::uint8_t> scenePixels;
  bool labelsCrowded = false;  // more numbers in view than are drawn

  // The X window, watched: another client may destroy it outright.
  Display* display = nullptr;
  ::Window window = 0;
};

// The one window.
WindowState& theWindow();

// Paints the frame the state asks for into the back buffer.
void paintFrame(WindowState& w);

// The toolkit's callbacks for the keys and the mouse.
void keyPressed(unsigned char key, int x, int y);
void specialKeyPressed(int key, int x, int y);
void mouseButton(int button, int state, int x, int y);
void mouseDragged(int x, int y);
void pointerMoved(int x, int y);
void wheelTurned(int wheel, int direction, int x, int y);
