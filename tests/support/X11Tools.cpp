#include "support/X11Tools.h"

#include <X11/Xlib.h>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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
