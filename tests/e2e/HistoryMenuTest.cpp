// The history list's context menu in the real window: a plan deleted through "删除" and its
// question is gone from the service and from the list, and the open plan stays.
#include "ClientSession.h"

#include "support/X11Tools.h"

#include <gtest/gtest.h>

#include <cstdio>

using e2e::ClientSession;
using testsupport::WaitFor;

namespace {

constexpr int kTitleX = ClientSession::kTitleX;
constexpr int kTitleWidth = ClientSession::kTitleWidth;
constexpr int kTitleHeight = ClientSession::kTitleHeight;

int ItemMiddle(int index) {
    return ClientSession::HistoryItemMiddle(index);
}

std::string Shell(const std::string& command) {
    return testsupport::RunPumping(command, {});
}

// The popup menu the client shows: a visible window of the program, larger than its hidden
// helper windows, with its top left corner at the pointer.
bool FindMenu(int& x, int& y, int& width, int& height) {
    const std::string ids = Shell("xdotool search --onlyvisible --name '^plenvo$'");
    std::size_t start = 0;
    while (start < ids.size()) {
        const std::size_t end = ids.find('\n', start);
        const std::string id = ids.substr(start, end - start);
        start = end == std::string::npos ? ids.size() : end + 1;
        const std::string geometry = Shell("xdotool getwindowgeometry " + id);
        const auto position = geometry.find("Position: ");
        const auto size = geometry.find("Geometry: ");
        if (position != std::string::npos && size != std::string::npos &&
            std::sscanf(geometry.c_str() + position, "Position: %d,%d", &x, &y) == 2 &&
            std::sscanf(geometry.c_str() + size, "Geometry: %dx%d", &width, &height) == 2 &&
            width > 50 && height > 50) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(HistoryMenu, DeletingAnotherPlanThroughTheMenuAndItsQuestionRefreshesTheList) {
    ClientSession session;
    ASSERT_TRUE(session.StartService());
    const std::int64_t older = session.Service().CreatePlan("荷塘月色");
    const std::int64_t newer = session.Service().CreatePlan("春");
    ASSERT_GT(older, 0);
    ASSERT_GT(newer, 0);
    ASSERT_TRUE(session.StartClient());
    ASSERT_TRUE(session.SignInToNewestPlan());
    // Newest first: the older plan is the second item.
    ASSERT_GT(session.DarkPixels(kTitleX, ItemMiddle(1) - 16, kTitleWidth, kTitleHeight), 0)
        << "no second plan in the history";

    const std::size_t mark = session.LogMark();
    session.Click(kTitleX + 40, ItemMiddle(1), 3);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(WaitFor([&] { return FindMenu(x, y, width, height); }, 10000)) << "no context menu";
    // "打开", "删除", "修改基本信息": the middle of the menu is "删除".
    Shell("xdotool mousemove --sync " + std::to_string(x + width / 2) + " " +
          std::to_string(y + height / 2) + " click 1");
    ASSERT_TRUE(session.AnswerYes("删除教案"));
    ASSERT_TRUE(session.WaitForRequest("deletelp?id=" + std::to_string(older), mark));
    ASSERT_TRUE(session.WaitForRequest("GET /plenvo/gethistory",
                                       session.ServiceLog().find("deletelp", mark)));
    EXPECT_EQ(session.Service().PlanIds(), std::vector<std::int64_t>{newer});
    ASSERT_TRUE(WaitFor(
        [&] {
            return session.DarkPixels(kTitleX, ItemMiddle(1) - 16, kTitleWidth, kTitleHeight) == 0;
        },
        10000, 100))
        << "the deleted plan is still listed";
    EXPECT_GT(session.DarkPixels(kTitleX, ItemMiddle(0) - 16, kTitleWidth, kTitleHeight), 0)
        << "the open plan left the list";
    EXPECT_EQ(session.ServiceLog().find("openlp", mark), std::string::npos)
        << "deleting another plan opened one";

    ASSERT_TRUE(session.CloseClient());
}
