#pragma once
// The user-interface side of the platform: GTK start-up and the screen resolution that every
// conversion between millimetres and pixels uses.

#include "platform/PixelGeometry.h"

namespace platform {

// Starts GTK for this process (once) and serves the calling thread's message queue from the GTK
// main loop. Returns false when no display can be opened; the queue then runs on its own.
bool InitializeUserInterface();
bool UserInterfaceAvailable();

// The desktop's horizontal pixels per logical inch, read from the display (96 without one).
double ReadDesktopResolution();

// The usable part of the primary monitor in pixels (the whole screen without a window manager's
// panels); 1920 x 1080 without a display.
RectI WorkArea();

} // namespace platform
