#pragma once
// What an end-to-end test does to a window from outside, as a user and a window manager would:
// xdotool for the pointer and keys, ImageMagick for screenshots, and the WM_DELETE_WINDOW client
// message for closing. External commands run while the caller keeps its message loop going.
#include <functional>
#include <string>

namespace testsupport {

// Runs a shell command; while it runs, pump() is called every few milliseconds. Returns the
// command's standard output; the exit status goes to *status when given.
std::string RunPumping(const std::string& command, const std::function<void()>& pump,
                       int* status = nullptr);

// Asks the window to close the way a window manager does.
bool SendDeleteWindow(unsigned long xid);

// The ARGB pixel at (x, y) of a PNG file; 0 when it cannot be read.
unsigned ReadPngPixel(const std::string& path, int x, int y);

} // namespace testsupport
