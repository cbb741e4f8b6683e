// A teacher types Chinese through a real input method: pinyin typed into a cell of an open plan
// is composed at the caret, a cancelled composition leaves nothing behind, and the characters
// the input method commits are what the cell shows and the service holds after Ctrl+S.
#include "ClientSession.h"
#include "InputMethodBus.h"
#include "ReferencePlanPixels.h"
#include "ServiceProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>

using e2e::CellText;
using e2e::ClientSession;
using e2e::InputMethodBus;

namespace {

// The caret of the empty "教学重点" cell; the two characters of "你好" end before x 400.
using e2e::kDifficultiesX;
using e2e::kDifficultiesY;
using e2e::kKeypointsX;
using e2e::kKeypointsY;
constexpr int kLineTop = 350, kLineHeight = 26;
// Right of the caret of the empty cell, and right of the caret after "你好".
constexpr int kAtFirstCaret = 371, kAfterTwoCharacters = 401, kCompositionWidth = 60;
// More dark pixels than a caret has: characters.
constexpr int kCharacterPixels = 30;

bool LoadedIbusModule(pid_t pid) {
    return testsupport::ReadBytes("/proc/" + std::to_string(pid) + "/maps").find("im-ibus.so") !=
           std::string::npos;
}

} // namespace

TEST(InputMethod, PinyinIsComposedAtTheCaretAndOnlyCommittedCharactersReachTheCellAndService) {
    if (std::getenv("PLENVO_NO_INPUT_METHOD")) {
        GTEST_SKIP() << "PLENVO_NO_INPUT_METHOD says this machine has no input method";
    }
    InputMethodBus ime;
    ASSERT_TRUE(ime.Start("libpinyin"));
    ClientSession session;
    ASSERT_TRUE(session.StartService());
    const std::int64_t id = session.Service().CreatePlan("荷塘月色");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(session.StartClient(ime.ClientEnvironment()));
    ASSERT_TRUE(LoadedIbusModule(session.ClientPid()))
        << "the client did not load GTK's ibus module (is ibus-gtk3 installed?)";
    ASSERT_TRUE(session.SignInToNewestPlan());

    session.Click(kKeypointsX, kKeypointsY);
    const auto composed = [&](int x) {
        return session.ScreenDarkPixels(x, kLineTop, kCompositionWidth, kLineHeight);
    };
    ASSERT_EQ(composed(kAtFirstCaret), 0) << "the cell is not empty before typing";
    session.Type("nihao");
    ASSERT_TRUE(testsupport::WaitFor([&] { return composed(kAtFirstCaret) > kCharacterPixels; },
                                     10000, 100))
        << "no composition appeared at the caret";
    session.Keys("space");

    // The next composition follows the caret past the committed characters; Escape cancels it.
    ASSERT_TRUE(
        testsupport::WaitFor([&] { return composed(kAfterTwoCharacters) == 0; }, 10000, 100))
        << "the committed composition stayed on screen";
    session.Type("zhong");
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return composed(kAfterTwoCharacters) > kCharacterPixels; }, 10000, 100))
        << "no composition appeared at the caret after the committed characters";
    session.Keys("Escape");
    ASSERT_TRUE(
        testsupport::WaitFor([&] { return composed(kAfterTwoCharacters) == 0; }, 10000, 100))
        << "the cancelled composition stayed on screen";
    EXPECT_GT(session.DarkPixels(kAtFirstCaret, kLineTop, kCompositionWidth, kLineHeight),
              kCharacterPixels)
        << "the cell does not show the committed characters";

    // A click into another cell ends a composition in progress: it neither stays on screen nor
    // lands in either cell.
    session.Type("zhong");
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return composed(kAfterTwoCharacters) > kCharacterPixels; }, 10000, 100))
        << "no composition appeared for the click";
    session.Click(kDifficultiesX, kDifficultiesY);
    ASSERT_TRUE(
        testsupport::WaitFor([&] { return composed(kAfterTwoCharacters) == 0; }, 10000, 100))
        << "the composition stayed on screen after a click elsewhere";
    session.Click(kKeypointsX, kKeypointsY);

    const std::size_t mark = session.LogMark();
    session.Keys("ctrl+s");
    ASSERT_TRUE(session.WaitForRequest("POST /plenvo/event/save?id=" + std::to_string(id), mark));
    ASSERT_TRUE(testsupport::WaitFor([&] { return session.DebugLogHas("保存成功"); }, 10000))
        << "no \"保存成功\" shown";
    EXPECT_EQ(CellText(session.Service().OpenPlan(id), "template.keypoints.value"), "你好");
    EXPECT_EQ(CellText(session.Service().OpenPlan(id), "template.difficulties.value"), "");
    ASSERT_TRUE(session.CloseClient());
}
