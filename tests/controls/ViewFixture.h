#pragma once
// A page window kept off screen, with a template applied as if the service had sent it, for
// tests that drive the window by messages and look at what it paints.
#include "gfx/Units.h"
#include "net/Response.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/OffscreenWindow.h"
#include "support/Pump.h"
#include "view/View.h"
#include "view/controls/Controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace controlstest {

using namespace Plenvo;

inline SimpleCurl::response TemplateReply(const std::string& body, const std::string& etag = {}) {
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = body;
    if (!etag.empty()) {
        reply.headers["ETag"] = " " + etag + "\r\n";
    }
    return reply;
}

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControls();
        gfx::SetScreenDpi(96);
    }
    void TearDown() override {
        if (view) {
            view->Destroy();
        }
    }

    // Opens an offscreen main window (1020 x 1026 pixels on a 1920 x 1080 work area) and
    // applies the template; the window is laid out and painted once.
    void Open(const std::string& templateJson, const std::string& etag = {}) {
        view = std::make_shared<CView>("main", ViewServices{nullptr, "http://127.0.0.1:9/", true});
        ASSERT_TRUE(view->Create());
        SimpleCurl::response reply = TemplateReply(templateJson, etag);
        view->OnTemplateReply(reply);
        Settle();
    }
    platform::OffscreenWindow& Window() {
        return *static_cast<platform::OffscreenWindow*>(view->Window());
    }
    // Runs the loop until no layout is pending.
    void Settle() {
        testsupport::PumpUntil([&] { return !view->LayoutPending(); }, 2000);
    }
    platform::LRESULT Send(platform::UINT message, int x, int y, platform::WPARAM w = 0) {
        return platform::SendMessage(view->GetHandle(), message, w, platform::MakeLParam(x, y));
    }
    // The centre of an element, in client pixels.
    std::pair<int, int> CentreOf(const std::string& name) {
        auto element = view->FindByName(name);
        EXPECT_NE(element, nullptr) << name;
        if (!element) {
            return {0, 0};
        }
        const gfx::RectF r = element->GetRect();
        return {static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96)),
                static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96))};
    }
    void Click(const std::string& name) {
        const auto [x, y] = CentreOf(name);
        Send(platform::WM_MOUSEMOVE, x, y);
        Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
        Send(platform::WM_LBUTTONUP, x, y);
    }

    std::shared_ptr<CView> view;
};

} // namespace controlstest
