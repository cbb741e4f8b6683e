#include "ServiceFixture.h"

using namespace PlenvoServiceTest;

namespace {
const std::string kRtf = "__RTF__{\\rtf1\\ansi\\ansicpg936 {\\fonttbl{\\f0 SimSun;}}\\f0 "
                         "\\u20998?\\u25968?\\par second line}";
}

TEST_F(ServiceTest, DeflateAndPlainSavesAreStoredAndLaidOverTheTemplate) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    json saved = Save(teacher, id, "100.200.300",
                      {{"template.keypoints.value", kRtf},
                       {"template.teachproc.1.teacher", "__RTF__{\\rtf1 ask}"},
                       // the record members of a saved-version file are not cells
                       {"id", std::to_string(id)},
                       {"lessiontitle", "改名了"},
                       {"grade", "9"},
                       {"subject", "9"}});
    EXPECT_EQ(saved, json({{"ok", true}}));
    json plan = OpenPlan(teacher, id);
    EXPECT_EQ(CellValue(plan["gridlines"], "template.keypoints.value"), kRtf);
    EXPECT_EQ(CellValue(plan["gridlines"], "template.teachproc.1.teacher"), "__RTF__{\\rtf1 ask}");
    // Cells the save did not name keep the template's value.
    EXPECT_EQ(CellValue(plan["gridlines"], "template.teachproc.1.stage"),
              CellValue(PlenvoService::PlanTemplate::NewGrid(), "template.teachproc.1.stage"));
    EXPECT_EQ(plan["lessiontitle"], "认识分数");
    EXPECT_EQ(plan["grade"], "3");
    EXPECT_GE(plan["modified"].get<int64_t>(), plan["created"].get<int64_t>());

    // A plain body is accepted too, and the newest version is what a reopen shows.
    EXPECT_EQ(Save(teacher, id, "1.201.300", {{"template.keypoints.value", "plain"}}, false)["ok"],
              true);
    plan = OpenPlan(teacher, id);
    EXPECT_EQ(CellValue(plan["gridlines"], "template.keypoints.value"), "plain");
    EXPECT_EQ(CellValue(plan["gridlines"], "template.teachproc.1.teacher"),
              CellValue(PlenvoService::PlanTemplate::NewGrid(), "template.teachproc.1.teacher"));
    EXPECT_EQ(store_->VersionCount(id), 2u); // every accepted version is kept
}

TEST_F(ServiceTest, OlderStampsAndVanishedPlansAnswerIgnore) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    ASSERT_EQ(Save(teacher, id, "5.5.5", {{"template.keypoints.value", "v555"}})["ok"], true);
    // Ordered by c, then b, then a.
    for (const std::string& older :
         std::vector<std::string>{"6.5.4", "9.4.5", "4.5.5", "4294967295.4294967295.4"}) {
        json reply = Save(teacher, id, older, {{"template.keypoints.value", "old"}});
        EXPECT_EQ(reply, json({{"ok", false}, {"error", "ignore"}})) << older;
    }
    // The same stamp again is a resend whose reply was lost: accepted, not stored twice.
    EXPECT_EQ(Save(teacher, id, "5.5.5", {{"template.keypoints.value", "v555"}})["ok"], true);
    EXPECT_EQ(store_->VersionCount(id), 1u);
    EXPECT_EQ(Save(teacher, id, "0.0.6", {{"template.keypoints.value", "v006"}})["ok"], true);
    EXPECT_EQ(CellValue(OpenPlan(teacher, id)["gridlines"], "template.keypoints.value"), "v006");

    ASSERT_EQ(GetJson("deletelp?id=" + std::to_string(id), &teacher)["ok"], true);
    EXPECT_EQ(Save(teacher, id, "9.9.9", {{"template.keypoints.value", "late"}})["error"],
              "ignore");
    EXPECT_EQ(Save(teacher, 424242, "9.9.9", {{"template.keypoints.value", "x"}})["error"],
              "ignore");
}

TEST_F(ServiceTest, BrokenSaveBodiesAreRefusedAndChangeNothing) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    ASSERT_EQ(Save(teacher, id, "1.1.1", {{"template.keypoints.value", "kept"}})["ok"], true);
    const std::string url = "event/save?id=" + std::to_string(id) + "&t=2.2.2";
    const std::string good = Form({{"template.keypoints.value", "lost"}});

    struct Case {
        std::string body;
        bool deflate;
        int status;
    };
    std::string truncated = Deflate(good);
    truncated.resize(truncated.size() / 2);
    for (const Case& c : std::vector<Case>{
             {"this is not deflate", true, 400},
             {truncated, true, 400},
             {Deflate("template.keypoints.value=%G1"), true, 400},
             {"novalue&x=1", false, 400},
             {"=nokey", false, 400},
             {"template.keypoints.value=%FF%FE", false, 400},
             {"", false, 400},
             {"id=1&grade=2", false, 400},
         }) {
        auto result = PostRaw(url, c.body, &teacher, c.deflate);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status) << c.body;
        json reply = json::parse(result->body, nullptr, false);
        EXPECT_EQ(reply["ok"], false) << c.body;
        EXPECT_FALSE(reply.value("error", "").empty());
    }
    for (const std::string& query : std::vector<std::string>{
             "id=" + std::to_string(id) + "&t=1.2", "id=" + std::to_string(id) + "&t=a.b.c",
             "id=" + std::to_string(id) + "&t=4294967296.1.1", "id=" + std::to_string(id),
             "id=x&t=3.3.3", "t=3.3.3"}) {
        auto result = PostRaw("event/save?" + query, Deflate(good), &teacher, true);
        ASSERT_TRUE(result);
        EXPECT_EQ(json::parse(result->body, nullptr, false)["ok"], false) << query;
    }
    EXPECT_EQ(store_->VersionCount(id), 1u);
    EXPECT_EQ(CellValue(OpenPlan(teacher, id)["gridlines"], "template.keypoints.value"), "kept");
}

TEST_F(ServiceTest, OversizedBodiesAreRefusedBeforeTheyFillMemory) {
    options_.limits.maxBodyBytes = 64 * 1024;
    options_.limits.maxSaveBytes = 256 * 1024;
    Restart();
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    const std::string url = "event/save?id=" + std::to_string(id) + "&t=2.2.2";

    // Small on the wire, huge once inflated.
    std::string bomb = Deflate("template.keypoints.value=" + std::string(4 << 20, 'a'));
    ASSERT_LT(bomb.size(), 64u * 1024);
    auto inflated = PostRaw(url, bomb, &teacher, true);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(inflated->status, 413);

    auto large =
        PostRaw(url, "template.keypoints.value=" + std::string(100 * 1024, 'a'), &teacher, false);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->status, 413);

    // Just below both limits is fine.
    auto fits = PostRaw(url, Deflate("template.keypoints.value=" + std::string(200 * 1024, 'a')),
                        &teacher, true);
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->status, 200);
    EXPECT_EQ(store_->VersionCount(id), 1u);
}

TEST_F(ServiceTest, LaterOfTwoCellsWithOneNameWins) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    ASSERT_EQ(
        Save(teacher, id, "1.1.1",
             {{"template.keypoints.value", "first"}, {"template.keypoints.value", "second"}})["ok"],
        true);
    EXPECT_EQ(CellValue(OpenPlan(teacher, id)["gridlines"], "template.keypoints.value"), "second");
}
