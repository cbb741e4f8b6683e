// A plan edited in the real window against the reference service: Chinese text typed into cells,
// teaching-process lines added and removed through their icons, the save to the service, and the
// version written on close that reaches the service when the client runs again.
#include "ClientSession.h"
#include "ReferencePlanPixels.h"
#include "ServiceProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

using e2e::CellText;
using e2e::ClientSession;
using e2e::LineNames;

namespace {

using namespace e2e;

int TeachLineMiddle(int index) {
    return kTeachLineTop + index * kTeachLineHeight + kTeachLineHeight / 2;
}

// The name of a top-level line's cell by position; empty when there is none.
std::string CellOfLine(const nlohmann::json& plan, const std::string& line, std::size_t index) {
    for (const auto& l : plan.value("gridlines", nlohmann::json::array())) {
        if (l.value("name", "") == line && l["cells"].size() > index) {
            return l["cells"][index].value("name", "");
        }
    }
    return {};
}

std::vector<std::string> TeachLines(const nlohmann::json& plan) {
    std::vector<std::string> lines;
    for (const auto& name : LineNames(plan)) {
        if (name.ends_with(".container")) {
            lines.push_back(name);
        }
    }
    return lines;
}

std::vector<std::string> VersionFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        files.push_back(entry.path().filename().string());
    }
    return files;
}

} // namespace

TEST(PlanWindow, ChineseTextAndAddedAndRemovedLinesReachTheServiceWithCtrlS) {
    ClientSession session;
    ASSERT_TRUE(session.StartService());
    const std::int64_t id = session.Service().CreatePlan("荷塘月色");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(session.StartClient());
    ASSERT_TRUE(session.SignInToNewestPlan());
    const std::vector<std::string> before = TeachLines(session.Service().OpenPlan(id));
    ASSERT_EQ(before.size(), 4u);

    // A line after the first teaching step: the service learns of it at once.
    std::size_t mark = session.LogMark();
    session.Click(kAddIconX, TeachLineMiddle(0) + kIconBelowMiddle);
    ASSERT_TRUE(session.WaitForRequest("e=addline", mark));
    nlohmann::json plan = session.Service().OpenPlan(id);
    std::vector<std::string> lines = TeachLines(plan);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], before[0]);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()),
              std::vector<std::string>(before.begin() + 1, before.end()));
    const std::string added = lines[1];
    const std::string addedTeacher = CellOfLine(plan, added, 1);
    ASSERT_FALSE(addedTeacher.empty());

    // Chinese text typed through the window's keys into a header cell and into the new line.
    session.Click(kKeypointsX, kKeypointsY);
    session.Type("理解课文内容");
    session.Click(kTeacherCellX, TeachLineMiddle(1));
    session.Type("朗读课文");
    mark = session.LogMark();
    session.Keys("ctrl+s");
    ASSERT_TRUE(session.WaitForRequest("POST /plenvo/event/save?id=" + std::to_string(id), mark));
    ASSERT_TRUE(testsupport::WaitFor([&] { return session.DebugLogHas("保存成功"); }, 10000))
        << "no \"保存成功\" shown";
    if (const char* folder = std::getenv("PLENVO_SCREENSHOTS")) {
        // The open plan as the teacher sees it, for the README.
        session.Pixel(0, 0);
        std::filesystem::copy_file(session.ShotFile(), std::string(folder) + "/plan.png",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    plan = session.Service().OpenPlan(id);
    EXPECT_EQ(CellText(plan, "template.keypoints.value"), "理解课文内容");
    EXPECT_EQ(CellText(plan, addedTeacher), "朗读课文");

    // The template's second teaching step, now third, goes after the question.
    mark = session.LogMark();
    session.Click(kDeleteIconX, TeachLineMiddle(2) + kIconBelowMiddle);
    ASSERT_TRUE(session.AnswerYes("提示"));
    ASSERT_TRUE(session.WaitForRequest("e=delline", mark));
    lines = TeachLines(session.Service().OpenPlan(id));
    EXPECT_EQ(lines, (std::vector<std::string>{before[0], added, before[2], before[3]}));

    ASSERT_TRUE(session.CloseClient());
}

TEST(PlanWindow, AnEditLeftOnCloseIsUploadedWhenTheClientRunsAgainAndShownOnReopen) {
    ClientSession session;
    ASSERT_TRUE(session.StartService());
    const std::int64_t id = session.Service().CreatePlan("春");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(session.StartClient());
    ASSERT_TRUE(session.SignInToNewestPlan());
    const int textX = 370, textY = kDifficultiesY - 25, textWidth = 300, textHeight = 30;
    ASSERT_EQ(session.DarkPixels(textX, textY, textWidth, textHeight), 0);

    session.Click(kDifficultiesX, kDifficultiesY);
    session.Type("体会作者情感");
    // The service goes away before the window closes: the edit can only survive as a version.
    session.StopService();
    ASSERT_TRUE(session.CloseClient());
    const std::string dump = session.Folder().File("bin/Dump");
    const std::regex versionName(std::to_string(id) + R"(\.\d+\.\d+\.\d+\.json)");
    const auto versions = VersionFiles(dump);
    ASSERT_EQ(std::count_if(versions.begin(), versions.end(),
                            [&](const std::string& f) { return std::regex_match(f, versionName); }),
              1)
        << "closing after an edit writes one version";

    ASSERT_TRUE(session.StartService());
    EXPECT_EQ(CellText(session.Service().OpenPlan(id), "template.difficulties.value"), "");
    const std::size_t mark = session.LogMark();
    ASSERT_TRUE(session.StartClient());
    ASSERT_TRUE(session.SignInToNewestPlan());
    ASSERT_TRUE(
        session.WaitForRequest("POST /plenvo/event/save?id=" + std::to_string(id), mark, 20000));
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            return CellText(session.Service().OpenPlan(id), "template.difficulties.value") ==
                   "体会作者情感";
        },
        10000))
        << "the service does not hold the edit";
    ASSERT_TRUE(testsupport::WaitFor([&] { return VersionFiles(dump).empty(); }, 10000))
        << "the uploaded version was kept";
    EXPECT_GT(session.DarkPixels(textX, textY, textWidth, textHeight), 20)
        << "the reopened plan does not show the edit";

    ASSERT_TRUE(session.CloseClient());
}
