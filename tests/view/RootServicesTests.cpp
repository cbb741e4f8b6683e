// The root services of a tree outside a window: hover, focus, capture and invalidation.
#include "view/OffscreenRoot.h"

#include <gtest/gtest.h>

using namespace Plenvo;

TEST(RootHover, MovingStraightIntoAnotherRegionLeavesTheFirstExactlyOnce) {
    auto root = COffscreenRoot::Create(Json::object());
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
    auto root = COffscreenRoot::Create(Json::object());
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
    auto root = COffscreenRoot::Create(Json::parse(R"({"elements":[{"name":"a"},{"name":"b"}]})"));
    auto a = root->FindByName("a");
    a->SetMouseCapture(true);
    EXPECT_TRUE(a->HasMouseCapture(nullptr));
    EXPECT_FALSE(root->FindByName("b")->HasMouseCapture(nullptr));
    const CViewElement* raw = a.get();
    root->ClearChildren();
    a.reset();
    EXPECT_FALSE(root->HasMouseCapture(raw));
}

TEST(RootInvalidation, AreasAccumulateAndEmptyOnesAreIgnored) {
    auto root = COffscreenRoot::Create(Json::parse(R"({"elements":[{"name":"a","width":10,
        "height":10}]})"));
    root->LayoutAll({100, 100});
    root->TakeInvalidArea();
    root->FindByName("a")->InvalidateSelf();
    root->InvalidateRectMm({50, 50, 0, 10});
    root->InvalidateRectMm({20, 20, 5, 5});
    EXPECT_EQ(root->TakeInvalidArea(), (gfx::RectF{0, 0, 25, 25}));
    EXPECT_TRUE(root->TakeInvalidArea().IsZero());
    EXPECT_TRUE(root->TakeLayoutRequest());
    EXPECT_FALSE(root->TakeLayoutRequest());
}
