// The root services: hover, focus, capture and invalidation.
#include "TestRoot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Plenvo;
using PlenvoTest::TestRoot;

TEST(RootHover, MovingStraightIntoAnotherRegionLeavesTheFirstExactlyOnce) {
    auto root = TestRoot::Make(Json::object());
    int a = 0, b = 0;
    int ida = 0, idb = 0;
    EXPECT_TRUE(root->TrackHoverRegion(&ida, {0, 0, 10, 10}, [&] { ++a; }));
    EXPECT_FALSE(root->TrackHoverRegion(&ida, {0, 0, 10, 10}, [&] { ++a; }));
    EXPECT_TRUE(root->TrackHoverRegion(&idb, {10, 0, 10, 10}, [&] { ++b; }));
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);
    root->LeaveHover();
    root->LeaveHover();
    EXPECT_EQ(b, 1);
    EXPECT_EQ(root->GetHoverId(), nullptr);
}

TEST(RootFocus, TheKillFocusCallbackRunsOnceWhenAnotherTakesTheFocus) {
    auto root = TestRoot::Make(Json::object());
    int killed = 0;
    int first = 0, second = 0;
    root->SetFocusId(&first, [&] { ++killed; });
    root->SetFocusId(&first); // the same id keeps the callback
    EXPECT_EQ(killed, 0);
    root->SetFocusId(&second);
    EXPECT_EQ(killed, 1);
    root->SetFocusId(&first);
    EXPECT_EQ(killed, 1);
    EXPECT_TRUE(root->IsFocused(&first));
}

TEST(RootCapture, CaptureFollowsTheElementAndEndsWithIt) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"a"},{"name":"b"}]})");
    auto a = root->FindByName("a");
    a->SetMouseCapture(true);
    EXPECT_TRUE(a->HasMouseCapture(nullptr));
    EXPECT_FALSE(root->FindByName("b")->HasMouseCapture(nullptr));
    const CViewElement* raw = a.get();
    root->ClearChildren();
    a.reset();
    EXPECT_FALSE(root->HasMouseCapture(raw));
    // Asked of the root itself, without an element, the capture is the root's.
    root->SetMouseCapture(true, nullptr);
    EXPECT_TRUE(root->HasMouseCapture(root.get()));
    root->SetMouseCapture(false, nullptr);
    EXPECT_FALSE(root->HasMouseCapture(root.get()));
}

TEST(RootInvalidation, AreasAccumulateAndEmptyOnesAreIgnored) {
    auto root = TestRoot::Make(R"({"elements":[{"name":"a","width":10,"height":10}]})");
    root->LayoutAll(100, 100);
    root->TakeInvalidArea();
    root->FindByName("a")->InvalidateSelf();
    root->InvalidateRectMm({50, 50, 0, 10});
    root->InvalidateRectMm({20, 20, 5, 5});
    EXPECT_EQ(root->TakeInvalidArea(), (gfx::RectF{0, 0, 25, 25}));
    EXPECT_TRUE(root->TakeInvalidArea().IsZero());
    // A whole layout answers the requests made before it; a later one stays until taken.
    EXPECT_FALSE(root->TakeLayoutRequest());
    root->FindByName("a")->RequestLayout();
    EXPECT_TRUE(root->TakeLayoutRequest());
    EXPECT_FALSE(root->TakeLayoutRequest());
}

TEST(RootResolution, EachRootConvertsAtItsOwnResolutionWhateverTheDesktopIsSetTo) {
    const char* page = R"({"elements":[{"name":"left","width":25.4,"height":25.4},
        {"name":"right","width":25.4,"height":25.4}]})";
    auto window = TestRoot::Make(page); // at the desktop's 96
    window->LayoutAll(100, 100);
    // A print job's tree at the printer's resolution, alive beside the window.
    auto printed = COffscreenRoot::Create(Json::parse(page), 600);
    printed->LayoutAll({100, 100});
    const double desktop = gfx::ScreenDpi();
    gfx::SetScreenDpi(600);
    std::vector<std::string> pressed;
    for (const auto& root :
         {static_cast<CViewElement*>(window.get()), static_cast<CViewElement*>(printed.get())}) {
        for (const char* name : {"left", "right"}) {
            root->FindByName(name)->AddEventHandler(
                "lbuttondown",
                [&pressed, name](const std::shared_ptr<CViewElement>&, const std::string&) {
                    pressed.push_back(name);
                    return 1;
                });
        }
    }
    // Pixel 120 across lies 31.75 mm in at 96 dpi (the right box), 5.08 mm at 600 (the left).
    window->Mouse(platform::WM_LBUTTONDOWN, 120, 10);
    platform::LRESULT result = 0;
    printed->RootMessage(platform::WM_LBUTTONDOWN, 0, platform::MakeLParam(120, 10), result);
    EXPECT_EQ(pressed, (std::vector<std::string>{"right", "left"}));
    EXPECT_EQ(window->FindByName("left")->GetDpi(), 96);
    EXPECT_EQ(printed->FindByName("left")->GetDpi(), 600);
    EXPECT_EQ(window->CoveringPixels({0, 0, 25.4, 25.4}), (platform::RectI{0, 0, 96, 96}));
    EXPECT_EQ(printed->CoveringPixels({0, 0, 25.4, 25.4}), (platform::RectI{0, 0, 600, 600}));
    gfx::SetScreenDpi(desktop);
}
