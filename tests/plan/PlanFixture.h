#pragma once
// An offscreen main window with the plan element in its content area, talking to a test server
// that records the line events, and clocks the test drives.
#include "plan/PlanElements.h"
#include "plan/ViewPlenvo.h"

#include "net/TestServer.h"
#include "plan/PlanSamples.h"

#include "gfx/Units.h"
#include "net/Response.h"
#include "net/Session.h"
#include "platform/Dialogs.h"
#include "platform/Keyboard.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "support/Pump.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/controls/Controls.h"
#include "view/controls/TextHost.h"

#include <algorithm>
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

namespace plantest {

using namespace Plenvo;
using namespace platform;

inline SimpleCurl::response JsonReply(const std::string& body) {
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = "application/json; charset=utf-8";
    reply.body = body;
    return reply;
}

class PlanFixture : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControls();
        RegisterPlanElements();
        gfx::SetScreenDpi(96);
        server.Get("event", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(eventMutex);
            res.status = eventStatus;
            res.set_content(eventBody, "application/json");
        });
        server.Start();
    }
    void TearDown() override {
        SetMessageBoxHandler({});
        SetPopupMenuHandler({});
        plan.reset();
        if (view) {
            view->Destroy();
        }
    }

    // Opens the window and shows the plan data in container1.
    void Open(nlohmann::json data = SamplePlan(), double heightPx = 1026) {
        view = std::make_shared<CView>(
            "main", ViewServices{std::make_shared<SimpleCurl::CSession>(), server.Base(), true});
        ASSERT_TRUE(view->Create());
        (void)heightPx;
        SimpleCurl::response reply = JsonReply(
            R"({"layout":"horizontal","elements":[{"name":"historylist","type":"list",
                "width":50,"height":"100%"},{"name":"container1","width":"100%",
                "height":"100%","bkgnd":"#FFFFFF"}]})");
        view->OnTemplateReply(reply);
        Settle();
        data["layer"] = 1;
        plan = std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(data));
        ASSERT_TRUE(plan);
        plan->SetClocks([this] { return tick; }, [this] { return now; });
        view->FindByName("container1")->AddChild(plan);
        Settle();
    }
    void Settle() {
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !view->LayoutPending(); }, 5000))
            << "the window's layout did not settle";
    }
    static int Px(double mm) { return static_cast<int>(gfx::MmToPx(mm, 96)); }
    LRESULT Send(UINT message, int x, int y, WPARAM w = 0) {
        return SendMessage(view->GetHandle(), message, w, MakeLParam(x, y));
    }
    void ClickAt(double xMm, double yMm) {
        Send(WM_MOUSEMOVE, Px(xMm), Px(yMm));
        Send(WM_LBUTTONDOWN, Px(xMm), Px(yMm), MK_LBUTTON);
        Send(WM_LBUTTONUP, Px(xMm), Px(yMm));
    }
    void ClickIn(const std::string& cell) {
        const gfx::RectF r = plan->FindCell(cell)->TextRect();
        ClickAt(r.x + r.width - 0.5, r.y + 1);
    }
    void Key(WPARAM key) {
        SendMessage(view->GetHandle(), WM_KEYDOWN, key, 0);
        SendMessage(view->GetHandle(), WM_KEYUP, key, 0);
    }
    void Type(std::u16string_view text) {
        for (char16_t c : text) {
            SendMessage(view->GetHandle(), WM_CHAR, c, 0);
        }
    }
    std::shared_ptr<CGridCell> Focused() {
        auto cells =
            plan->CollectCells([](CGridCell& c) { return c.HasFocus() && !c.IsContainer(); });
        return cells.empty() ? nullptr : cells.front();
    }
    // Waits for the server to have seen `count` event requests.
    std::vector<std::string> Events(std::size_t count) {
        const bool arrived =
            testsupport::PumpUntil([&] { return server.Count("event") >= count; }, 5000);
        EXPECT_TRUE(arrived) << "expected " << count << " line events, saw "
                             << server.Count("event");
        std::vector<std::string> targets;
        for (const auto& request : server.Requests()) {
            targets.push_back(request.target);
        }
        // Sorted: the requests travel side by side and the service may take them in any order.
        std::sort(targets.begin(), targets.end());
        return targets;
    }

    // The server's threads answer with these; the test sets them through SetEventReply.
    void SetEventReply(int status, std::string body) {
        std::lock_guard lock(eventMutex);
        eventStatus = status;
        eventBody = std::move(body);
    }
    std::mutex eventMutex;
    int eventStatus = 200;
    std::string eventBody = R"({"ok":true})";
    // After the reply it serves, so that it stops before the reply goes away.
    nettest::TestServer server;
    std::uint32_t tick = 5000;
    std::int64_t now = 1750000000;
    std::shared_ptr<CView> view;
    std::shared_ptr<CViewPlenvo> plan;
};

} // namespace plantest
