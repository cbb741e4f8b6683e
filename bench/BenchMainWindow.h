#pragma once
// The main window of the benchmarks: an offscreen window of the main window's size (1020 x 1026
// pixels) at 96 dpi, its screen template applied and laid out, and frames painted as the window's
// draw handler paints them, onto a cairo context clipped to the update rectangle of a surface the
// size of the window.
#include "platform/OffscreenWindow.h"
#include "view/View.h"

#include <cairo.h>

#include <memory>
#include <string>

namespace benchsupport {

class BenchMainWindow {
public:
    explicit BenchMainWindow(const std::string& serviceBase = "");
    ~BenchMainWindow();
    BenchMainWindow(const BenchMainWindow&) = delete;
    BenchMainWindow& operator=(const BenchMainWindow&) = delete;

    // Applies the template as its reply from the service would and runs the deferred layout.
    void ApplyTemplate(const std::string& body);
    // Runs the loop until the deferred layout has run.
    void Settle();
    void PaintFrame(const platform::RectI& update);
    void PaintAll();

    Plenvo::CView& View() { return *view_; }
    platform::OffscreenWindow& Window();
    platform::HWND Handle() { return view_->GetHandle(); }
    // The centre of a named element in client pixels; throws when the screen has none.
    platform::PointI CentreOf(const std::string& name);

private:
    std::shared_ptr<Plenvo::CView> view_;
    cairo_surface_t* surface_ = nullptr;
};

// One frame of a window's update rectangle onto a surface of the window's size.
void PaintViewFrame(Plenvo::CView& view, cairo_surface_t* surface, const platform::RectI& update);

// A screen template of the service's templates folder.
std::string ServiceTemplate(const std::string& file);

} // namespace benchsupport
