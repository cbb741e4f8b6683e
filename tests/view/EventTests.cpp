// Messages routed through the layers and turned into bubbling events.
#include "TestRoot.h"

#include <gtest/gtest.h>

using namespace PlenvoTest;
using platform::WM_LBUTTONDOWN;
using platform::WM_LBUTTONUP;
using platform::WM_MOUSEMOVE;
using platform::WM_MOUSEWHEEL;
using platform::WM_RBUTTONDOWN;

namespace {

struct Recorder {
    std::vector<std::string> events;
    EventHandler Handler(const std::string& event, int result = 1) {
        return [this, event, result](const std::shared_ptr<CViewElement>&, const std::string& p) {
            events.push_back(event + ":" + p);
            return result;
        };
    }
};

// page > dialog > ok, each nesting one layer up; ok covers 10..30 x 10..20 mm.
std::shared_ptr<TestRoot> Dialog() {
    auto root = TestRoot::Make(R"({"elements":[{"name":"page","width":100,"height":100,
        "elements":[{"name":"dialog","width":80,"height":80,"elements":[
            {"name":"spacer","width":10,"height":10},
            {"name":"ok","width":20,"height":10,"valign":"bottom"},
            {"name":"cancel","width":20,"height":10,"valign":"bottom"}]}]}]})");
    root->LayoutAll(200, 200);
    return root;
}

const int kOkX = TestRoot::Px(15), kOkY = TestRoot::Px(75);
const int kCancelX = TestRoot::Px(35);

} // namespace

TEST(EventBubbling, AClickArrivesWithTheDottedPathOfNames) {
    auto root = Dialog();
    Recorder r;
    root->FindByName("page")->AddEventHandler("click", r.Handler("click"));
    root->FindByName("page")->AddEventHandler("lbuttondown", r.Handler("down", 0));
    EXPECT_TRUE(root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY));
    EXPECT_TRUE(root->Mouse(WM_LBUTTONUP, kOkX, kOkY));
    EXPECT_EQ(r.events,
              (std::vector<std::string>{"down:page.dialog.ok.", "click:page.dialog.ok.ok"}));
}

TEST(EventBubbling, AnElementWithAnEmptyHandlerListStopsTheEvent) {
    auto root = Dialog();
    Recorder r;
    root->FindByName("page")->AddEventHandler("click", r.Handler("page"));
    const auto dialog = root->FindByName("dialog");
    dialog->AddEventHandler("click", r.Handler("dialog", 0));
    EXPECT_EQ(root->FindByName("ok")->FireEvent("click", "ok"), 0);
    EXPECT_EQ(r.events, (std::vector<std::string>{"dialog:dialog.ok.ok"}));
    dialog->RemoveEventHandlers("click");
    r.events.clear();
    EXPECT_EQ(root->FindByName("ok")->FireEvent("click", "ok"), 0);
    EXPECT_TRUE(r.events.empty());
}

TEST(EventBubbling, HandlersRunInOrderUntilOneHandles) {
    auto root = Dialog();
    Recorder r;
    const auto ok = root->FindByName("ok");
    ok->AddEventHandler("x", r.Handler("first", 0));
    ok->AddEventHandler("x", r.Handler("second", 7));
    ok->AddEventHandler("x", r.Handler("third", 1));
    EXPECT_EQ(ok->FireEvent("x", "p"), 7);
    EXPECT_EQ(r.events, (std::vector<std::string>{"first:ok.p", "second:ok.p"}));
}

TEST(Clicks, PressOnOneElementAndReleaseOnAnotherRaisesNoClick) {
    auto root = Dialog();
    Recorder r;
    root->FindByName("page")->AddEventHandler("click", r.Handler("click"));
    root->FindByName("page")->AddEventHandler("lbuttonup", r.Handler("up", 0));
    root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY);
    root->Mouse(WM_LBUTTONUP, kCancelX, kOkY);
    // Unhandled, the release goes on to the elements below; none of them got the press.
    EXPECT_EQ(r.events,
              (std::vector<std::string>{"up:page.dialog.cancel.", "up:page.dialog.", "up:page."}));
}

TEST(Clicks, AHandledReleaseRaisesNoClick) {
    auto root = Dialog();
    Recorder r;
    root->FindByName("page")->AddEventHandler("click", r.Handler("click"));
    root->FindByName("ok")->AddEventHandler("lbuttonup", r.Handler("up", 1));
    root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY);
    EXPECT_TRUE(root->Mouse(WM_LBUTTONUP, kOkX, kOkY));
    EXPECT_EQ(r.events, (std::vector<std::string>{"up:ok."}));
}

TEST(Clicks, APressTakesFocusAndCallsTheEarlierKillFocus) {
    auto root = Dialog();
    int killed = 0;
    root->SetFocusId(root.get(), [&killed] { ++killed; });
    root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY);
    EXPECT_EQ(root->GetFocusId(), root->FindByName("ok").get());
    EXPECT_EQ(root->GetActiveId(), root->FindByName("ok").get());
    EXPECT_EQ(killed, 1);
}

TEST(Clicks, AHandlerMayReleaseTheElementItIsCalledFor) {
    auto root = Dialog();
    root->FindByName("page")->AddEventHandler(
        "click", [root](const std::shared_ptr<CViewElement>& page, const std::string&) {
            page->ClearChildren();
            root->ClearChildren();
            return 1;
        });
    root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY);
    EXPECT_TRUE(root->Mouse(WM_LBUTTONUP, kOkX, kOkY));
    EXPECT_TRUE(root->GetChildren().empty());
    EXPECT_FALSE(root->Mouse(WM_LBUTTONUP, kOkX, kOkY)); // the registrations have expired
}

namespace {

// Counts the messages that reach it, then behaves as a plain element.
struct Probe : CViewElement {
    using CViewElement::CViewElement;
    static inline std::vector<platform::UINT> seen;
    bool HandleMessage(platform::UINT m, platform::WPARAM w, platform::LPARAM l,
                       platform::LRESULT& r) override {
        seen.push_back(m);
        return CViewElement::HandleMessage(m, w, l, r);
    }
};

} // namespace

TEST(Blocking, BlockMouseMsgStopsMessagesThatNothingHandled) {
    RegisterElementType<Probe>("probe");
    for (const bool block : {false, true}) {
        // The cover is a child of the probe, so it lies on top of it, in a higher layer.
        Json d = Json::parse(R"({"elements":[{"type":"probe","width":50,"height":50,
            "elements":[{"name":"cover","width":50,"height":50,"layer":50}]}]})");
        d["elements"][0]["elements"][0]["blockmousemsg"] = block;
        auto root = TestRoot::Make(d);
        root->LayoutAll(100, 100);
        Probe::seen.clear();
        root->Mouse(WM_RBUTTONDOWN, 20, 20);
        root->Mouse(WM_LBUTTONUP, 20, 20);
        root->Mouse(WM_MOUSEWHEEL, root->windowOrigin.x + 20, root->windowOrigin.y + 20,
                    static_cast<platform::WPARAM>(120) << 16);
        EXPECT_EQ(Probe::seen.size(), block ? 0u : 3u) << "blockmousemsg " << block;
        // Outside the cover nothing is blocked.
        root->Mouse(WM_RBUTTONDOWN, 20, 300);
        EXPECT_EQ(Probe::seen.size(), block ? 1u : 4u);
    }
    UnregisterElementType("probe");
}

TEST(Blocking, ALeftPressIsAlwaysTakenByTheTopmostElementUnderThePointer) {
    auto root = Dialog();
    Recorder r;
    root->FindByName("dialog")->AddEventHandler("lbuttondown", r.Handler("dialog", 0));
    root->Mouse(WM_LBUTTONDOWN, kOkX, kOkY);
    // The press stopped at ok (the dialog saw it only by bubbling).
    EXPECT_EQ(root->GetActiveId(), root->FindByName("ok").get());
    EXPECT_EQ(r.events, (std::vector<std::string>{"dialog:dialog.ok."}));
}

TEST(Routing, TheLaterOfTwoOverlappingElementsInALayerGetsInputFirst) {
    auto root = TestRoot::Make(R"({"layout":"vertical","elements":[
        {"name":"first","width":30,"height":30},{"name":"second","width":30,"height":30}]})");
    root->LayoutAll(100, 100);
    // Put both at the same place; registration order stays first, second.
    gfx::RectF area;
    gfx::SizeF size;
    root->FindByName("second")->Layout(area, {0, 0}, size, false);
    Recorder r;
    root->FindByName("first")->AddEventHandler("lbuttondown", r.Handler("first", 0));
    root->FindByName("second")->AddEventHandler("lbuttondown", r.Handler("second", 0));
    root->Mouse(WM_LBUTTONDOWN, 10, 10);
    EXPECT_EQ(r.events, (std::vector<std::string>{"second:second."}));
    // Hit testing walks a layer in registration order instead.
    EXPECT_EQ(root->HitTest({5, 5}), root->FindByName("first"));
}

TEST(Routing, TheCaptureElementSeesMouseMessagesFirstWhereverThePointerIs) {
    auto root = Dialog();
    Recorder r;
    const auto ok = root->FindByName("ok");
    ok->AddEventHandler("lbuttonup", r.Handler("ok-up", 1));
    struct Grabber : CViewElement {
        using CViewElement::CViewElement;
        int seen = 0;
        bool HandleMessage(platform::UINT, platform::WPARAM, platform::LPARAM,
                           platform::LRESULT&) override {
            ++seen;
            return true;
        }
    };
    auto grabber = std::make_shared<Grabber>(Json::object());
    root->AddChild(grabber);
    grabber->SetMouseCapture(true);
    EXPECT_TRUE(grabber->HasMouseCapture(nullptr));
    EXPECT_FALSE(ok->HasMouseCapture(nullptr));
    root->Mouse(WM_LBUTTONUP, kOkX, kOkY);
    EXPECT_EQ(grabber->seen, 1);
    EXPECT_TRUE(r.events.empty());
    // Keys are not mouse messages: the capture does not see them.
    platform::LRESULT result = 0;
    root->RouteMessage(platform::WM_KEYDOWN, 'A', 0, result);
    EXPECT_EQ(grabber->seen, 1);
    grabber->SetMouseCapture(false);
    root->Mouse(WM_LBUTTONUP, kOkX, kOkY);
    EXPECT_EQ(grabber->seen, 1);
}

TEST(Hover, MouseInAndLeaveGoThroughTheHoverServiceWithTooltips) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"a","width":20,"height":20,"tooltip":"保存"},
        {"name":"b","width":20,"height":20}]})");
    root->LayoutAll(100, 100);
    Recorder r;
    root->AddEventHandler("mousein", r.Handler("in"));
    root->AddEventHandler("mouseleave", r.Handler("leave"));
    root->Mouse(WM_MOUSEMOVE, 10, 10);
    root->Mouse(WM_MOUSEMOVE, 12, 10); // still inside: nothing new
    root->Mouse(WM_MOUSEMOVE, TestRoot::Px(30), 10);
    root->LeaveHover();
    EXPECT_EQ(r.events, (std::vector<std::string>{"in:.a.", "leave:.a.", "in:.b.", "leave:.b."}));
    ASSERT_EQ(root->tooltips.size(), 2u);
    EXPECT_EQ(root->tooltips[0], std::optional<std::string>("保存"));
    EXPECT_EQ(root->tooltips[1], std::nullopt);
}

TEST(Routing, KeysReachEveryElementUntilOneClaimsThem) {
    RegisterElementType<Probe>("probe");
    auto root = TestRoot::Make(R"({"elements":[{"type":"probe","elements":[{"name":"x"}]}]})");
    UnregisterElementType("probe");
    root->LayoutAll(100, 100);
    Probe::seen.clear();
    platform::LRESULT result = 0;
    // Plain elements do not take keys: the key passes the higher layer and reaches the probe.
    EXPECT_FALSE(root->RouteMessage(platform::WM_KEYDOWN, 'S', 0, result));
    EXPECT_EQ(Probe::seen, (std::vector<platform::UINT>{platform::WM_KEYDOWN}));
}

TEST(WithoutRoot, AStandaloneElementToleratesMissingServices) {
    auto e = CreateViewElement(Json::parse(R"({"name":"lone","width":10,"height":10,
        "tooltip":"t","elements":[{"name":"child"}]})"));
    gfx::RectF area;
    gfx::SizeF size;
    e->SetSpace({50, 50});
    e->Layout(area, {0, 0}, size, true);
    platform::LRESULT result = 0;
    EXPECT_TRUE(e->HandleMessage(WM_LBUTTONDOWN, 0, platform::MakeLParam(5, 5), result));
    EXPECT_TRUE(e->HandleMessage(WM_MOUSEMOVE, 0, platform::MakeLParam(5, 5), result));
    EXPECT_FALSE(e->HandleMessage(WM_LBUTTONUP, 0, platform::MakeLParam(5, 5), result));
    EXPECT_FALSE(e->HandleMessage(WM_MOUSEWHEEL, 0, platform::MakeLParam(5, 5), result));
    e->InvalidateSelf();
    e->SetCursor(Cursor::Hand);
    e->SetMouseCapture(true);
    EXPECT_FALSE(e->HasMouseCapture(nullptr));
    EXPECT_EQ(e->GetHostWindow(), nullptr);
    EXPECT_EQ(e->HitTest({1, 1}), nullptr);
    EXPECT_EQ(e->GetRoot(), e.get());
    EXPECT_EQ(e->FindByName("child")->GetRoot(), e.get());
    EXPECT_EQ(e->FindLayeredRenderer(), nullptr);
}
