#include "BenchMainWindow.h"

#include "gfx/Units.h"
#include "net/Response.h"
#include "support/Pump.h"
#include "view/controls/Controls.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace benchsupport {

using namespace Plenvo;

BenchMainWindow::BenchMainWindow(const std::string& serviceBase) {
    RegisterControls();
    gfx::SetScreenDpi(96);
    view_ = std::make_shared<CView>("main", ViewServices{nullptr, serviceBase, true});
    if (!view_->Create()) {
        throw std::runtime_error("the offscreen window could not be created");
    }
    const platform::SizeI size = Window().ClientSize();
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.width, size.height);
}

BenchMainWindow::~BenchMainWindow() {
    cairo_surface_destroy(surface_);
    view_->Destroy();
}

platform::OffscreenWindow& BenchMainWindow::Window() {
    return *static_cast<platform::OffscreenWindow*>(view_->Window());
}

void BenchMainWindow::ApplyTemplate(const std::string& body) {
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = body;
    view_->OnTemplateReply(reply);
    Settle();
}

void BenchMainWindow::Settle() {
    if (!testsupport::PumpUntil([&] { return !view_->LayoutPending(); }, 5000)) {
        throw std::runtime_error("the window's layout did not run within 5 s");
    }
}

void BenchMainWindow::PaintFrame(const platform::RectI& update) {
    PaintViewFrame(*view_, surface_, update);
}

void BenchMainWindow::PaintAll() {
    const platform::SizeI size = Window().ClientSize();
    PaintFrame({0, 0, size.width, size.height});
}

platform::PointI BenchMainWindow::CentreOf(const std::string& name) {
    const auto element = view_->FindByName(name);
    if (!element) {
        throw std::runtime_error("the window has no element " + name);
    }
    const gfx::RectF r = element->GetRect();
    return {static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96)),
            static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96))};
}

void PaintViewFrame(CView& view, cairo_surface_t* surface, const platform::RectI& update) {
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, update.x, update.y, update.width, update.height);
    cairo_clip(cr);
    view.PaintWindow(cr, update);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

std::string ServiceTemplate(const std::string& file) {
    const auto path = std::filesystem::path(PLENVO_SOURCE_DIR) / "service" / "templates" / file;
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    if (text.empty()) {
        throw std::runtime_error("service/templates/" + file + " could not be read");
    }
    return text;
}

} // namespace benchsupport
