#pragma once
// The print dialog and the job it runs, as one modal call on the user-interface thread that
// returns when the job is done or the dialog was cancelled. The dialog offers the system's
// printers and printing to a file (PDF); pages are drawn on a cairo context whose units are the
// target's device pixels. Tests replace the dialog with a scripted one.
#include "platform/Types.h"

#include <cairo.h>

#include <functional>
#include <string>

namespace platform {

// What the chosen printer offers: its resolution and the printable area in its pixels.
struct PrintTarget {
    double dpiX = 0;
    double dpiY = 0;
    double widthPx = 0;
    double heightPx = 0;
};

struct PrintJob {
    HWND owner = 0;
    std::string jobName;
    // Once, after the dialog was accepted and before any page: the number of pages.
    std::function<int(const PrintTarget& target)> begin;
    // Each page in order, on a context in device pixels whose origin is the printable area's.
    std::function<void(int page, cairo_t* cr)> drawPage;
};

// True when the job was printed; false when the dialog was cancelled or failed. Page numbers and
// selection are not offered: every job prints all its pages.
bool RunPrintDialog(const PrintJob& job);

// Replaces the dialog (tests); an empty function restores the GTK one.
void SetPrintDialogHandler(std::function<bool(const PrintJob& job)> handler);

} // namespace platform
