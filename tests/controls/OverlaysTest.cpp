#include "ViewFixture.h"

#include "platform/Tick.h"

using namespace controlstest;

namespace {

constexpr const char* kPage = R"json({"elements":[
    {"name":"go","type":"button","width":40,"height":12,"bkgnd":"argb(255,0,120,0)"}]})json";

} // namespace

TEST_F(ViewFixture, OnlyTheNewestBottomMessageStaysAndItsCallbackRuns) {
    Open(kPage);
    int first = 0, second = 0;
    view->ShowBottomMessage("one", "错误", std::string("确定"), std::nullopt,
                            [&](int button) { first = button; });
    view->ShowBottomMessage("two", "错误", std::string("确定"), std::string("取消"),
                            [&](int button) { second = button; });
    ASSERT_EQ(view->Overlays().BottomMessages().size(), 1u);
    Settle();
    auto band = view->Overlays().BottomMessages().front();
    const auto press = [&](const char* name) {
        const gfx::RectF r = band->FindByName(name)->GetRect();
        const int x = static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96));
        const int y = static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96));
        Send(platform::WM_MOUSEMOVE, x, y);
        Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
        Send(platform::WM_LBUTTONUP, x, y);
    };
    press("bottom_message_button2");
    EXPECT_EQ(second, 2);
    press("bottom_message_button1");
    EXPECT_EQ(second, 1);
    EXPECT_EQ(first, 0);
    view->DismissBottomMessages();
    EXPECT_TRUE(view->Overlays().BottomMessages().empty());
}

TEST_F(ViewFixture, ToastIsOpaqueThenFadesLinearlyAndIsGoneAtItsDuration) {
    Open(kPage);
    platform::ManualClock clock;
    view->ShowToast("保存成功", 2000);
    ASSERT_EQ(view->Overlays().Toasts().size(), 1u);
    auto toast = view->Overlays().Toasts().front();
    EXPECT_EQ(toast->GetName().rfind("message[", 0), 0u);
    testsupport::Advance(clock, 700);
    EXPECT_FLOAT_EQ(toast->GetOpacity(), 1.0f);
    // The last second fades linearly, a step every 50 ms: halfway through it, half the opacity.
    testsupport::Advance(clock, 800);
    EXPECT_FLOAT_EQ(toast->GetOpacity(), 0.5f);
    testsupport::Advance(clock, 499);
    ASSERT_FALSE(view->Overlays().Toasts().empty()) << "gone before its duration";
    EXPECT_FLOAT_EQ(toast->GetOpacity(), 0.05f);
    testsupport::Advance(clock, 1);
    EXPECT_TRUE(view->Overlays().Toasts().empty()) << "still there at its duration";
}

TEST_F(ViewFixture, ProgressCoverBlocksTheTreeAndTheBottomMessageAndOneHideRemovesIt) {
    Open(kPage);
    int clicks = 0, pressed = 0;
    view->FindByName("go")->AddEventHandler("click", [&](auto&, auto&) {
        ++clicks;
        return 1;
    });
    view->ShowBottomMessage("text", "错误", std::string("确定"), std::nullopt,
                            [&](int) { ++pressed; });
    view->ShowProgress();
    view->ShowProgress();
    Settle();
    Click("go");
    auto band = view->Overlays().BottomMessages().front();
    const gfx::RectF r = band->FindByName("bottom_message_button1")->GetRect();
    const int x = static_cast<int>(gfx::MmToPx(r.x + r.width / 2, 96));
    const int y = static_cast<int>(gfx::MmToPx(r.y + r.height / 2, 96));
    Send(platform::WM_LBUTTONDOWN, x, y, platform::MK_LBUTTON);
    Send(platform::WM_LBUTTONUP, x, y);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(pressed, 0);
    view->HideProgress();
    EXPECT_EQ(view->Overlays().Cover(), nullptr);
    Click("go");
    EXPECT_EQ(clicks, 1);
}
