#include "ViewFixture.h"

#include "view/ViewFactory.h"

using namespace controlstest;

namespace {

// An element that counts its layouts.
class CountingElement : public CViewElement {
public:
    using CViewElement::CViewElement;
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& size, bool reg) override {
        ++layouts;
        CViewElement::Layout(result, origin, size, reg);
    }
    static inline int layouts = 0;
};

constexpr const char* kTwoBoxes = R"json({"bkgnd":"argb(255,240,244,248)","elements":[
    {"name":"left","type":"counting","width":50,"height":40,"bkgnd":"argb(255,200,0,0)"},
    {"name":"right","width":50,"height":40,"bkgnd":"argb(255,0,0,200)"}]})json";

} // namespace

TEST(ViewGeometry, MainSitsTwentyPixelsInAndSuggestionAtTheRightEdgeNeitherWiderThan270mm) {
    const platform::RectI work{0, 0, 1920, 1080};
    EXPECT_EQ(CView::Geometry("main", work, 96), (platform::RectI{20, 27, 1020, 1026}));
    EXPECT_EQ(CView::Geometry("suggestion", work, 96), (platform::RectI{880, 27, 1020, 1026}));
    // A small screen: 95 % of it, not the cap.
    EXPECT_EQ(CView::Geometry("main", {0, 0, 800, 600}, 96), (platform::RectI{20, 15, 760, 570}));
}

TEST_F(ViewFixture, TemplateIsAppliedLaidOutAndPaintedWithItsColours) {
    Open(kTwoBoxes);
    platform::Image image = Window().Paint();
    EXPECT_EQ(image.Pixel(1000, 1000), 0xFFF0F4F8u) << "root background";
    EXPECT_EQ(image.Pixel(10, 10), 0xFFC80000u) << "first box";
    EXPECT_EQ(image.Pixel(200, 10), 0xFF0000C8u) << "second box, 50 mm to the right";
}

TEST_F(ViewFixture, SecondLayoutRequestBeforeTheTimerCausesNoSecondLayout) {
    RegisterElementType<CountingElement>("counting");
    Open(kTwoBoxes);
    CountingElement::layouts = 0;
    view->RequestLayout();
    view->RequestLayout();
    view->FindByName("left")->RequestLayout();
    EXPECT_TRUE(view->LayoutPending());
    Settle();
    testsupport::PumpFor(30);
    EXPECT_EQ(CountingElement::layouts, 1);
    UnregisterElementType("counting");
}

TEST_F(ViewFixture, MovingFromOneHoverRegionIntoAnotherLeavesTheFirstExactlyOnce) {
    Open(kTwoBoxes);
    int leftLeaves = 0, rightEnters = 0;
    view->FindByName("left")->AddEventHandler("mouseleave", [&](auto&, auto&) {
        ++leftLeaves;
        return 1;
    });
    view->FindByName("right")->AddEventHandler("mousein", [&](auto&, auto&) {
        ++rightEnters;
        return 1;
    });
    Send(platform::WM_MOUSEMOVE, 20, 20);
    Send(platform::WM_MOUSEMOVE, 30, 20);
    Send(platform::WM_MOUSEMOVE, 250, 20);
    Send(platform::WM_MOUSEMOVE, 260, 20);
    EXPECT_EQ(leftLeaves, 1);
    EXPECT_EQ(rightEnters, 1);
}

TEST_F(ViewFixture, UnchangedETagChangesNothingAndANewOneReplacesTheScreen) {
    Open(kTwoBoxes, "\"v1\"");
    EXPECT_EQ(view->TemplateETag(), " \"v1\"\r\n");
    SimpleCurl::response same = TemplateReply(R"({"elements":[{"name":"other"}]})", "\"v1\"");
    view->OnTemplateReply(same);
    EXPECT_NE(view->FindByName("left"), nullptr);
    EXPECT_EQ(view->FindByName("other"), nullptr);
    SimpleCurl::response changed = TemplateReply(R"({"elements":[{"name":"other"}]})", "\"v2\"");
    view->OnTemplateReply(changed);
    EXPECT_EQ(view->FindByName("left"), nullptr);
    EXPECT_NE(view->FindByName("other"), nullptr);
}

TEST_F(ViewFixture, InvalidationOnlyInPixelsOrMillimetres) {
    Open(kTwoBoxes);
    Window().Paint();
    view->InvalidateArea({10, 10, 5, 5}, 3); // points: not a unit this host knows
    view->InvalidateArea({10, 10, 5, 5}, 0);
    EXPECT_TRUE(Window().Invalidations().empty());
    view->InvalidateArea({10, 10, 5, 5}, kUnitPixel);
    EXPECT_EQ(Window().DirtyArea(), (platform::RectI{10, 10, 5, 5}));
    Window().Paint();
    view->InvalidateArea({10, 10, 5, 5}, kUnitMillimetre);
    // 10 mm = 37.8 px: every touched pixel is covered.
    EXPECT_EQ(Window().DirtyArea(), (platform::RectI{37, 37, 20, 20}));
}

TEST_F(ViewFixture, FailedTemplateShowsTheRetryBandAndItsButtonRetries) {
    view = std::make_shared<CView>("main", ViewServices{nullptr, "http://127.0.0.1:9/", true});
    ASSERT_TRUE(view->Create());
    SimpleCurl::response failed;
    failed.finished = true;
    failed.result = 7;
    failed.error = "Couldn't connect to server";
    view->OnTemplateReply(failed);
    ASSERT_EQ(view->Overlays().BottomMessages().size(), 1u);
    auto band = view->Overlays().BottomMessages().front();
    const auto label = [&](const char* text) {
        std::function<bool(const CViewElement&)> has = [&](const CViewElement& e) {
            const auto& d = e.GetDescription();
            if (d.is_object() && d.value("value", "") == text) {
                return true;
            }
            for (const auto& child : e.GetChildren()) {
                if (has(*child)) {
                    return true;
                }
            }
            return false;
        };
        return has(*band);
    };
    EXPECT_TRUE(label("模板获取失败:[Couldn't connect to server],请检查网络连接"));
    EXPECT_TRUE(label("立即重试"));
    EXPECT_TRUE(label("错误"));
    Settle();
    platform::Image image = Window().Paint();
    EXPECT_EQ(image.Pixel(500, 1020), 0xFF628DBAu) << "the band argb(255,98,141,186)";

    const auto button = band->FindByName("bottom_message_button1");
    ASSERT_NE(button, nullptr);
    const gfx::RectF r = button->GetRect();
    const int x = static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96));
    const int y = static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96));
    Send(platform::WM_MOUSEMOVE, x, y);
    Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, x, y);
    EXPECT_TRUE(view->Overlays().BottomMessages().empty());
    EXPECT_NE(view->Overlays().Cover(), nullptr) << "retrying shows the progress cover";
}

TEST_F(ViewFixture, ClosingCallsTheCloseCallbacksWithTheStamp) {
    Open(kTwoBoxes);
    std::uint64_t seen = 0;
    view->AddCloseCallback([&](CView* closed, std::uint64_t stamp) {
        EXPECT_EQ(closed, view.get());
        seen = stamp;
    });
    view->Close();
    EXPECT_FALSE(view->WindowExists());
    EXPECT_EQ(seen, view->Stamp());
    EXPECT_NE(seen, 0u);
}

TEST_F(ViewFixture, HostileTemplatesNeitherCrashNorApply) {
    Open(kTwoBoxes);
    // Nested far beyond any screen: cut before it is copied, the window stays usable.
    std::string deep;
    for (int i = 0; i < 20000; ++i) {
        deep += R"({"elements":[)";
    }
    for (int i = 0; i < 20000; ++i) {
        deep += "]}";
    }
    SimpleCurl::response nested = TemplateReply(deep, "\"deep\"");
    view->OnTemplateReply(nested);
    Settle();
    Window().PaintAll();
    // Not an object: the server's error, the old screen stays and the band offers a retry.
    Open(kTwoBoxes);
    SimpleCurl::response list = TemplateReply("[1,2,3]", "\"list\"");
    view->OnTemplateReply(list);
    EXPECT_NE(view->FindByName("left"), nullptr);
    ASSERT_EQ(view->Overlays().BottomMessages().size(), 1u);
}

// A key in a long field repaints at once (no layout timer in between) the lines it changed and
// the caret, nothing above them, and what it repaints matches a repaint of the whole window.
TEST_F(ViewFixture, AKeyRepaintsAtOnceOnlyTheLinesItChangedAndTheCaret) {
    std::string text;
    for (int i = 0; i < 20; ++i) {
        text += "本节课通过观察实验和小组讨论让学生理解植物的光合作用过程";
    }
    Json edit = {{"type", "edit"},     {"name", "field"},        {"width", "100%"},
                 {"height", "100%"},   {"multiline", true},      {"maxlength", -1},
                 {"font-height", 6.0}, {"content-paddign", 3.0}, {"value", text}};
    Open(Json{{"bkgnd", "argb(255,255,255,255)"}, {"elements", {edit}}}.dump());
    Send(platform::WM_MOUSEMOVE, 300, 15);
    Send(platform::WM_LBUTTONDOWN, 300, 15, platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, 300, 15);
    Settle();
    Window().Paint();
    int narrowBands = 0;
    for (int key = 0; key < 8; ++key) {
        platform::SendMessage(view->GetHandle(), platform::WM_CHAR, 'a', 0);
        EXPECT_FALSE(view->LayoutPending()) << "a key waits for the layout timer";
        platform::RectI band;
        int caretTop = 1 << 20, caretHeight = 0;
        for (const platform::RectI& r : Window().Invalidations()) {
            if (r.width <= 3) { // the caret, before and after
                caretTop = std::min(caretTop, r.y);
                caretHeight = std::max(caretHeight, r.height);
            } else {
                band = band.Union(r);
            }
        }
        ASSERT_GT(caretHeight, 0) << "key " << key;
        ASSERT_FALSE(band.Empty()) << "key " << key;
        // Never above the line before the caret's (a word may come back onto it).
        EXPECT_GE(band.y, caretTop - caretHeight - 2) << "key " << key;
        if (band.height <= 2 * caretHeight + 2) {
            ++narrowBands;
        }
        const platform::Image partial = Window().Paint();
        const platform::Image whole = Window().PaintAll();
        ASSERT_EQ(partial.pixels, whole.pixels) << "key " << key;
    }
    // Most letters fit on their line: only that line (or the one before it) is repainted.
    EXPECT_GE(narrowBands, 3);
}
