// The suggestions panel in an offscreen suggestion window: what a reply shows, what a reply or a
// progress report after the window closed does, the progress text, and the wheel.
#include "plan/ViewPlenvoSuggestion.h"

#include "net/Response.h"
#include "net/Session.h"
#include "net/RequestsDone.h"
#include "net/TestServer.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/OffscreenWindow.h"
#include "support/Pump.h"
#include "view/View.h"
#include "view/controls/Controls.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewLabel.h"

#include "gfx/Units.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>

namespace {

using namespace Plenvo;
using namespace platform;

SimpleCurl::response Reply(const std::string& body, const std::string& type = "application/json") {
    SimpleCurl::response reply;
    reply.finished = true;
    reply.status = 200;
    reply.contentType = type;
    reply.body = body;
    return reply;
}

class SuggestionPanel : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControls();
        gfx::SetScreenDpi(96);
    }
    void TearDown() override {
        panel.reset();
        if (view) {
            view->Destroy();
        }
    }
    // A suggestion window with its template applied; the panel asks the given base.
    void Open(int planId, const std::string& base) {
        view = std::make_shared<CView>(
            "suggestion", ViewServices{std::make_shared<SimpleCurl::CSession>(), base, true});
        ASSERT_TRUE(view->Create());
        SimpleCurl::response reply = Reply(R"({"elements":[]})");
        view->OnTemplateReply(reply);
        panel = CViewPlenvoSuggestion::Start(*view, planId);
        Settle();
    }
    void Settle() {
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !view->LayoutPending(); }, 5000))
            << "the window's layout did not settle";
    }
    std::string LabelText() {
        auto* label = dynamic_cast<CViewLabel*>(panel->FindByName("downloadinfo").get());
        return label ? label->GetValue() : "<no label>";
    }
    std::vector<CViewEdit*> Boxes() {
        std::vector<CViewEdit*> boxes;
        for (const auto& child : panel->GetChildren()) {
            if (auto* edit = dynamic_cast<CViewEdit*>(child.get())) {
                boxes.push_back(edit);
            }
        }
        return boxes;
    }
    void Wheel(int delta) {
        const gfx::RectF r = panel->GetRect();
        const Point at{static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96)),
                       static_cast<int>(gfx::MmToPx(r.y + 5, 96))};
        const Point client = panel->ScreenToClient(Point{0, 0});
        SendMessage(view->GetHandle(), WM_MOUSEWHEEL,
                    static_cast<WPARAM>(static_cast<std::uint16_t>(delta)) << 16,
                    MakeLParam(at.x - client.x, at.y - client.y));
    }

    std::shared_ptr<CView> view;
    std::shared_ptr<CViewPlenvoSuggestion> panel;
};

TEST_F(SuggestionPanel, RepliesThatDoNotFitThePlanShowTheNotFoundText) {
    const char* notFound = ":(很抱歉没有在数据库中找到相关教案";
    for (const std::string body :
         {R"({"q":13,"suggestions":[{"text":"别的教案"}]})", R"({"q":12,"suggestions":[]})",
          R"({"q":"12","suggestions":[{"text":"a"}]})", R"([1,2])", R"({"q":12})"}) {
        Open(12, "");
        panel->OnProgress(10);
        panel->OnReply(Reply(body));
        EXPECT_EQ(LabelText(), notFound) << body;
        EXPECT_TRUE(Boxes().empty()) << body;
        // A late progress report does not hide the answer.
        panel->OnProgress(99);
        EXPECT_EQ(LabelText(), notFound);
        TearDown();
    }
}

TEST_F(SuggestionPanel, FailedTransfersAndNonJsonRepliesKeepTheProgressText) {
    Open(12, "");
    panel->OnProgress(512);
    panel->OnReply(Reply(R"({"q":12,"suggestions":[{"text":"a"}]})", "text/html"));
    SimpleCurl::response broken = Reply(R"({"q":12,"suggestions":[{"text":"a"}]})");
    broken.status = 500;
    panel->OnReply(broken);
    broken.status = 200;
    broken.finished = false;
    panel->OnReply(broken);
    EXPECT_EQ(LabelText(), "已下载 512 字节");
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SuggestionPanel, TextBeatsRtfAndIsNeverTakenAsAPath) {
    Open(12, "");
    panel->OnReply(Reply(R"({"q":12,"suggestions":[
        {"text":"file:///etc/hostname","rtf":"{\\rtf1 rich}"},
        {"rtf":"{\\rtf1\\ansi {\\b bold} text}"},
        {"other":1}]})"));
    Settle();
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0]->GetText(), "file:///etc/hostname");
    EXPECT_EQ(boxes[1]->GetText(), "bold text");
    EXPECT_EQ(boxes[2]->GetText(), "");
    for (CViewEdit* box : boxes) {
        EXPECT_NE(box->GetEditStyle() & 0x0800u, 0u) << "suggestions are read-only";
        EXPECT_EQ(box->GetLayer(), panel->GetLayer() + 1);
    }
    EXPECT_FALSE(panel->FindByName("downloadinfo"));
    const Image frame = static_cast<OffscreenWindow*>(view->Window())->PaintAll();
    // The separator under the first box: grey on the panel's light blue.
    const gfx::RectF first = boxes[0]->GetRect();
    const int x = static_cast<int>(gfx::MmToPx(first.x + first.width / 2, 96));
    bool separator = false;
    for (int dy = -2; dy <= 2; ++dy) {
        const int y = static_cast<int>(gfx::MmToPx(first.y + first.height, 96)) + dy;
        separator = separator || frame.Pixel(x, y) == 0xFF808080u;
    }
    EXPECT_TRUE(separator) << "no separator line under the first suggestion";
    // Stacked top to bottom inside the panel.
    EXPECT_LE(boxes[0]->GetRect().y + boxes[0]->GetRect().height, boxes[1]->GetRect().y + 0.01);
}

TEST_F(SuggestionPanel, TheProgressTextShowsWholeBytesAndTheLatestCount) {
    EXPECT_EQ(CViewPlenvoSuggestion::ProgressText(20000), "已下载 20000 字节");
    EXPECT_EQ(CViewPlenvoSuggestion::ProgressText(19999.6), "已下载 20000 字节");
    // Through a real transfer: a reply that is not JSON leaves the last count on the label.
    nettest::TestServer server;
    server.Get("getsuggestion", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(20000, 'x'), "text/plain");
    });
    server.Start();
    Open(12, server.Base());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return LabelText() == "已下载 20000 字节"; }, 10000))
        << "label shows " << LabelText();
    ASSERT_EQ(server.Count("getsuggestion"), 1u);
    EXPECT_NE(server.Requests().front().target.find("getsuggestion?id=12"), std::string::npos);
}

TEST_F(SuggestionPanel, AReplyAfterTheWindowClosedDoesNothing) {
    nettest::TestServer server;
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    std::atomic<bool> answered{false};
    server.Get("getsuggestion", [&](const httplib::Request&, httplib::Response& res) {
        open.wait();
        res.set_content(std::string(R"({"q":12,"suggestions":[{"text":")") +
                            std::string(5000, 'a') + R"("}]})",
                        "application/json");
        answered = true;
    });
    server.Start();
    Open(12, server.Base());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return server.Count("getsuggestion") == 1; }, 5000));
    const std::weak_ptr<CViewPlenvoSuggestion> weak = panel;
    panel.reset();
    view->Destroy();
    view.reset();
    EXPECT_TRUE(weak.expired()) << "the window's end releases the panel";
    gate.set_value();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return answered.load(); }, 5000));
    // The completion and the progress reports arrive for a panel that is gone.
    ASSERT_TRUE(nettest::PumpUntilRequestsDone()) << "the completion was never delivered";
}

TEST_F(SuggestionPanel, TheWheelScrollsOnlyContentTallerThanThePanel) {
    Open(12, "");
    panel->OnReply(Reply(R"({"q":12,"suggestions":[{"text":"一条建议"}]})"));
    Settle();
    ASSERT_LT(panel->ContentHeight(), panel->GetSize().height);
    Wheel(-120);
    EXPECT_EQ(panel->ScrollOffset(), 0.0);

    std::string many = R"({"q":12,"suggestions":[)";
    for (int i = 0; i < 30; ++i) {
        many += std::string(i ? "," : "") + R"({"text":"第)" + std::to_string(i) +
                R"(条\n多举例\n多练习"})";
    }
    many += "]}";
    TearDown();
    Open(12, "");
    panel->OnReply(Reply(many));
    Settle();
    ASSERT_GT(panel->ContentHeight(), panel->GetSize().height);
    if (const char* folder = std::getenv("PLENVO_SCREENSHOTS")) {
        static_cast<OffscreenWindow*>(view->Window())
            ->PaintAll()
            .SavePng(std::string(folder) + "/suggestions-offscreen.png");
    }
    const double firstY = Boxes().front()->GetRect().y;
    Wheel(-120);
    EXPECT_EQ(panel->ScrollOffset(), -CViewPlenvoSuggestion::kWheelStep);
    EXPECT_NEAR(Boxes().front()->GetRect().y, firstY - CViewPlenvoSuggestion::kWheelStep, 1e-6);
    Wheel(120);
    Wheel(120);
    EXPECT_EQ(panel->ScrollOffset(), 0.0) << "never above the top";
    for (int i = 0; i < 500; ++i) {
        Wheel(-120);
    }
    EXPECT_NEAR(panel->ScrollOffset(), -(panel->ContentHeight() - panel->GetSize().height), 1e-6)
        << "never below the end";
}

} // namespace
