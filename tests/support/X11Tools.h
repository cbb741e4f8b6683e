#pragma once
// What an end-to-end test does to a window from outside, as a user and a window manager would:
// xdotool for the pointer and keys, ImageMagick for screenshots, and the WM_DELETE_WINDOW client
// message for closing. External commands run while the caller keeps its message loop going.
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Runs a shell command; while it runs, pump() is called every few milliseconds. Returns the
// command's standard output; the exit status goes to *status when given.
std::string RunPumping(const std::string& command, const std::function<void()>& pump,
                       int* status = nullptr);

// Asks the window to close the way a window manager does.
bool SendDeleteWindow(unsigned long xid);

// Gives every character of the UTF-8 text that the keyboard map lacks a key of its own, once
// and before typing. xdotool otherwise remaps one spare key per character while it types, and a
// client that reads the changed map late turns a character into the next one. False when there
// are not enough unused keys.
bool BindCharacters(const std::string& text);

// The ARGB pixel at (x, y) of the screen as the server holds it now; 0 when it cannot be read.
unsigned ScreenPixel(int x, int y);
// The ARGB pixels of a rectangle of the screen, row by row; empty when they cannot be read.
std::vector<unsigned> ScreenPixels(int x, int y, int width, int height);

// The ARGB pixel at (x, y) of a PNG file; 0 when it cannot be read.
unsigned ReadPngPixel(const std::string& path, int x, int y);
// The ARGB pixels of a rectangle of a PNG file, row by row; those outside the image are left out.
std::vector<unsigned> ReadPngPixels(const std::string& path, int x, int y, int width, int height);

} // namespace testsupport
