// The suggestion window in the real display: it opens at the work area's right edge beside the main
// window when a plan opens, shows what the service suggests (the teacher's other saved plan of the
// grade and subject, on a fresh database), and opening another plan replaces it.
#include "ClientSession.h"

#include "support/X11Tools.h"

#include <gtest/gtest.h>

#include <cstdio>

using e2e::ClientSession;
using testsupport::WaitFor;

namespace {

constexpr int kScreenWidth = 1920;

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};

Geometry WindowGeometry(unsigned long window) {
    const std::string text =
        testsupport::RunPumping("xdotool getwindowgeometry " + std::to_string(window), {});
    Geometry g;
    const auto position = text.find("Position: ");
    const auto size = text.find("Geometry: ");
    if (position != std::string::npos && size != std::string::npos) {
        std::sscanf(text.c_str() + position, "Position: %d,%d", &g.x, &g.y);
        std::sscanf(text.c_str() + size, "Geometry: %dx%d", &g.width, &g.height);
    }
    return g;
}

} // namespace

TEST(SuggestionWindow, OpensAtTheRightEdgeWithTheServicesSuggestionsAndOneAtATime) {
    ClientSession session;
    ASSERT_TRUE(session.StartService());
    const std::int64_t older = session.Service().CreatePlan("荷塘月色");
    ASSERT_GT(older, 0);
    ASSERT_TRUE(
        session.Service().SaveCells(older, {{"template.keypoints.value", "体会作者的感情"}}));
    const std::int64_t newer = session.Service().CreatePlan("春");
    ASSERT_GT(newer, 0);
    ASSERT_TRUE(session.StartClient());
    const std::size_t signIn = session.LogMark();
    ASSERT_TRUE(session.SignInToNewestPlan());
    ASSERT_TRUE(session.WaitForRequest("getsuggestion?id=" + std::to_string(newer), signIn));

    std::vector<unsigned long> shown = session.SuggestionWindows();
    ASSERT_EQ(shown.size(), 1u);
    const unsigned long firstWindow = shown.front();
    const Geometry first = WindowGeometry(firstWindow);
    EXPECT_EQ(first.x + first.width, kScreenWidth - 20) << "20 pixels from the work area's right";
    EXPECT_GT(first.height, 200);
    // The older plan's digest: its title and the teacher's text, drawn as dark text on the panel.
    EXPECT_TRUE(
        WaitFor([&] { return session.DarkPixels(firstWindow, 0, 0, 300, 120) > 50; }, 10000, 100))
        << "no suggestion text in the window";

    // Opening the older plan from the history closes that window and opens one for this plan.
    const std::size_t mark = session.LogMark();
    session.Click(ClientSession::kTitleX + 40, ClientSession::HistoryItemMiddle(1));
    ASSERT_TRUE(session.WaitForRequest("getsuggestion?id=" + std::to_string(older), mark));
    EXPECT_TRUE(WaitFor(
        [&] {
            shown = session.SuggestionWindows();
            return shown.size() == 1u && shown.front() != firstWindow;
        },
        10000, 100))
        << shown.size() << " suggestion windows";
}
