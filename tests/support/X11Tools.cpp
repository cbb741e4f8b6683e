#include "support/X11Tools.h"

#include "platform/Encoding.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace testsupport {

std::string RunPumping(const std::string& command, const std::function<void()>& pump, int* status) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string out;
    int code = -1;
    for (;;) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) {
            while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
                out.append(buffer, static_cast<std::size_t>(n));
            }
            code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
            break;
        }
        if (pump) {
            pump();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    close(fds[0]);
    if (status) {
        *status = code;
    }
    return out;
}

bool SendDeleteWindow(unsigned long xid) {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, xid, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return sent != 0;
}

unsigned ScreenPixel(int x, int y) {
    const std::vector<unsigned> pixels = ScreenPixels(x, y, 1, 1);
    return pixels.empty() ? 0 : pixels[0];
}

std::vector<unsigned> ScreenPixels(int x, int y, int width, int height) {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return {};
    }
    std::vector<unsigned> pixels;
    if (XImage* image =
            XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), AllPlanes, ZPixmap)) {
        pixels.reserve(std::size_t(width) * height);
        for (int row = 0; row < height; ++row) {
            for (int column = 0; column < width; ++column) {
                pixels.push_back(0xFF000000u |
                                 static_cast<unsigned>(XGetPixel(image, column, row) & 0xFFFFFF));
            }
        }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return pixels;
}

bool BindCharacters(const std::string& text) {
    ::Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    int perKey = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKey);
    std::set<KeySym> wanted;
    for (const char32_t point : platform::Utf8ToUtf32(text)) {
        if (point >= 0x80) {
            wanted.insert(0x01000000 | point);
        }
    }
    // Keys bound here for an earlier text are free again unless this text needs them.
    std::set<KeySym> present;
    std::vector<int> unused;
    for (int key = first; key <= last; ++key) {
        const KeySym* symbols = map + (key - first) * perKey;
        bool empty = true;
        for (int level = 0; level < perKey; ++level) {
            empty = empty && symbols[level] == NoSymbol;
        }
        if (empty || (symbols[0] > 0x01000080 && wanted.count(symbols[0]) == 0)) {
            unused.push_back(key);
        } else {
            present.insert(symbols, symbols + perKey);
        }
    }
    XFree(map);
    bool bound = true;
    std::size_t next = 0;
    for (const KeySym symbol : wanted) {
        if (present.count(symbol) != 0) {
            continue;
        }
        if (next == unused.size()) {
            bound = false;
            break;
        }
        // The same symbol on both levels, so that a held Shift changes nothing.
        std::vector<KeySym> symbols(static_cast<std::size_t>(perKey), NoSymbol);
        symbols[0] = symbol;
        if (perKey > 1) {
            symbols[1] = symbol;
        }
        XChangeKeyboardMapping(display, unused[next++], perKey, symbols.data(), 1);
        present.insert(symbol);
    }
    XSync(display, False);
    XCloseDisplay(display);
    return bound;
}

unsigned ReadPngPixel(const std::string& path, int x, int y) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    unsigned pixel = 0;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS && x < cairo_image_surface_get_width(s) &&
        y < cairo_image_surface_get_height(s)) {
        const unsigned char* data = cairo_image_surface_get_data(s);
        pixel = *reinterpret_cast<const unsigned*>(data + y * cairo_image_surface_get_stride(s) +
                                                   x * 4);
    }
    cairo_surface_destroy(s);
    return pixel;
}

} // namespace testsupport

namespace testsupport {

std::vector<unsigned> ReadPngPixels(const std::string& path, int x, int y, int width, int height) {
    std::vector<unsigned> pixels;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        const int right = std::min(x + width, cairo_image_surface_get_width(s));
        const int bottom = std::min(y + height, cairo_image_surface_get_height(s));
        for (int row = std::max(y, 0); row < bottom; ++row) {
            for (int column = std::max(x, 0); column < right; ++column) {
                pixels.push_back(
                    *reinterpret_cast<const unsigned*>(data + row * stride + column * 4));
            }
        }
    }
    cairo_surface_destroy(s);
    return pixels;
}

} // namespace testsupport
