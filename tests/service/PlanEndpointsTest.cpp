#include "ServiceFixture.h"

using namespace PlenvoServiceTest;

TEST_F(ServiceTest, CreatedPlanCarriesTheRecordAndTheTemplateGrid) {
    Teacher teacher = SignIn("1001", "王老师");
    json reply = GetJson(
        "createlp?lt=2&grade=12&subject=10&lessiontitle=" + Encode("  篮球 运球 技术  "), &teacher);
    ASSERT_EQ(reply["ok"], true);
    const json& plan = reply["lpdata"];
    EXPECT_TRUE(plan["id"].is_number_integer());
    EXPECT_EQ(plan["lessiontitle"], "篮球 运球 技术");
    EXPECT_EQ(plan["grade"], "12");
    EXPECT_EQ(plan["subject"], "10");
    EXPECT_EQ(plan["name"], "王老师");
    EXPECT_EQ(plan["schooltype"], "高中");
    for (auto key : {"title", "schooltime"})
        EXPECT_TRUE(plan[key].is_string()) << key;
    EXPECT_TRUE(plan["created"].is_number_integer());
    EXPECT_EQ(plan["created"], plan["modified"]);
    // The header cells show the record.
    EXPECT_EQ(CellValue(plan["gridlines"], "template.grade.value"), "十二年级");
    EXPECT_EQ(CellValue(plan["gridlines"], "template.subject.value"), "体育");
    EXPECT_EQ(CellValue(plan["gridlines"], "template.lessiontype.value"), "复习课");
    EXPECT_EQ(CellValue(plan["gridlines"], "template.lessiontitle.value"), "篮球 运球 技术");
    // openlp answers with the same plan data.
    EXPECT_EQ(OpenPlan(teacher, plan["id"]), plan);
}

TEST_F(ServiceTest, HistoryListsOnlyOwnLivePlansNewestFirstInMilliseconds) {
    Teacher a = SignIn("1001");
    Teacher b = SignIn("1002");
    int64_t first = CreatePlan(a, "第一课");
    int64_t second = CreatePlan(a, "第二课");
    CreatePlan(b, "别人的课");
    ASSERT_EQ(Save(a, first, "1.1.1", {{"template.keypoints.value", "x"}})["ok"], true);

    json history = GetJson("gethistory", &a);
    ASSERT_EQ(history["ok"], true);
    ASSERT_EQ(history["lps"].size(), 2u);
    EXPECT_EQ(history["lps"][0]["id"], first); // changed last
    EXPECT_EQ(history["lps"][1]["id"], second);
    int64_t now = PlenvoService::NowMs();
    for (const auto& record : history["lps"]) {
        EXPECT_TRUE(record["lessiontitle"].is_string());
        EXPECT_LE(record["created"].get<int64_t>(), now);
        EXPECT_GT(record["created"].get<int64_t>(), now - 60000);
        EXPECT_GE(record["modified"].get<int64_t>(), record["created"].get<int64_t>());
    }

    EXPECT_EQ(GetJson("deletelp?id=" + std::to_string(second), &a)["ok"], true);
    history = GetJson("gethistory", &a);
    ASSERT_EQ(history["lps"].size(), 1u);
    EXPECT_EQ(history["lps"][0]["id"], first);
    // A deleted plan is gone for every endpoint, and its id is never reused.
    EXPECT_EQ(GetJson("openlp?id=" + std::to_string(second), &a)["ok"], false);
    EXPECT_EQ(GetJson("deletelp?id=" + std::to_string(second), &a)["ok"], false);
    EXPECT_GT(CreatePlan(a, "第三课"), second + 1);
}

TEST_F(ServiceTest, PlanInfoAndSaveInfoRoundTrip) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher, "认识时间", 1, 2, 1);
    const std::string plan = std::to_string(id);
    json info = GetJson("getlpinfo?id=" + plan, &teacher);
    ASSERT_EQ(info["ok"], true);
    EXPECT_EQ(info["lpdata"], json({{"id", id},
                                    {"lessiontitle", "认识时间"},
                                    {"lessiontype", "1"},
                                    {"grade", "1"},
                                    {"subject", "2"}}));

    EXPECT_EQ(GetJson("saveinfo?id=" + plan + "&lt=4&grade=2&subject=3&lessiontitle=" +
                          Encode("Unit 3 It's \"fun\" & <b>cool</b>"),
                      &teacher)["ok"],
              true);
    info = GetJson("getlpinfo?id=" + plan, &teacher);
    EXPECT_EQ(info["lpdata"]["lessiontitle"], "Unit 3 It's \"fun\" & <b>cool</b>");
    EXPECT_EQ(info["lpdata"]["lessiontype"], "4");
    json opened = OpenPlan(teacher, id);
    EXPECT_EQ(CellValue(opened["gridlines"], "template.subject.value"), "英语");
    EXPECT_EQ(CellValue(opened["gridlines"], "template.lessiontype.value"), "讲评课");
}

TEST_F(ServiceTest, TitlesWithQuotesAndSqlAreStoredAsTheyAre) {
    Teacher teacher = SignIn("1001");
    const std::string hostile = "课'); DELETE FROM plans; -- \" % _ \\ ;";
    int64_t id = CreatePlan(teacher, hostile);
    int64_t other = CreatePlan(teacher, "普通的课");
    EXPECT_EQ(OpenPlan(teacher, id)["lessiontitle"], hostile);
    EXPECT_EQ(OpenPlan(teacher, other)["lessiontitle"], "普通的课");
    EXPECT_EQ(GetJson("gethistory", &teacher)["lps"].size(), 2u);
}

TEST_F(ServiceTest, BadPlanInfoIsRefusedAndChangesNothing) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher, "原来的课题");
    const std::string plan = std::to_string(id);
    const std::string title = "&lessiontitle=" + Encode("新课题");
    for (const std::string& query : std::vector<std::string>{
             "lt=1&grade=-1&subject=1" + title, "lt=-1&grade=1&subject=1" + title,
             "lt=1&grade=1&subject=-1" + title, "lt=1&grade=13&subject=1" + title,
             "lt=1&grade=1&subject=11" + title, "lt=99&grade=1&subject=1" + title,
             "lt=x&grade=1&subject=1" + title, "grade=1&subject=1" + title,
             std::string("lt=1&grade=1&subject=1&lessiontitle=%20%20"),
             std::string("lt=1&grade=1&subject=1"),
             "lt=1&grade=1&subject=1&lessiontitle=" + Encode(std::string(61 * 3, 'a')),
             std::string("lt=1&grade=1&subject=1&lessiontitle=%FF%FE"),
             std::string("lt=1&grade=1&subject=1&lessiontitle=a%0Ab")}) {
        json created = GetJson("createlp?" + query, &teacher);
        EXPECT_EQ(created["ok"], false) << query;
        EXPECT_FALSE(created.value("error", "").empty()) << query;
        EXPECT_EQ(GetJson("saveinfo?id=" + plan + "&" + query, &teacher)["ok"], false) << query;
    }
    EXPECT_EQ(GetJson("gethistory", &teacher)["lps"].size(), 1u);
    EXPECT_EQ(OpenPlan(teacher, id)["lessiontitle"], "原来的课题");
    // Sixty characters are fine.
    EXPECT_EQ(GetJson("saveinfo?id=" + plan +
                          "&lt=1&grade=1&subject=1&lessiontitle=" + Encode(std::string(60, 'b')),
                      &teacher)["ok"],
              true);
}

TEST_F(ServiceTest, BadAndForeignPlanIdsAreRefusedAndChangeNothing) {
    Teacher owner = SignIn("1001");
    Teacher other = SignIn("1002");
    int64_t id = CreatePlan(owner, "我的课");
    const std::string plan = std::to_string(id);
    for (const std::string& bad : std::vector<std::string>{
             std::string("abc"), std::string(""), std::string("-1"), std::string("0"),
             std::string("1.5"), std::string("1e3"), std::string("99999999999"),
             std::string("2147483648"), std::string("%27%20OR%201%3D1"), std::string("424242")}) {
        for (const std::string& endpoint :
             std::vector<std::string>{"openlp", "getlpinfo", "deletelp", "getsuggestion"}) {
            json reply = GetJson(endpoint + "?id=" + bad, &owner);
            EXPECT_EQ(reply["ok"], false) << endpoint << " " << bad;
            EXPECT_FALSE(reply.value("error", "").empty());
        }
    }
    // The other teacher can neither see nor change the plan.
    for (const std::string& endpoint : std::vector<std::string>{
             "openlp?id=" + plan, "getlpinfo?id=" + plan, "getsuggestion?id=" + plan,
             "saveinfo?id=" + plan + "&lt=1&grade=1&subject=1&lessiontitle=x",
             "event?e=addline&name=template.teachproc.99.container&aftername=template.teachproc.1."
             "container&id=" +
                 plan,
             "event?e=delline&name=template.teachproc.2.container&id=" + plan,
             "deletelp?id=" + plan})
        EXPECT_EQ(GetJson(endpoint, &other)["ok"], false) << endpoint;
    json save = Save(other, id, "9.9.9", {{"template.keypoints.value", "hijack"}});
    EXPECT_EQ(save["ok"], false);
    EXPECT_NE(save["error"], "ignore"); // the owner's files on a shared computer must stay

    json mine = OpenPlan(owner, id);
    EXPECT_EQ(mine["lessiontitle"], "我的课");
    EXPECT_EQ(store_->VersionCount(id), 0u);
    EXPECT_EQ(LineNames(mine["gridlines"]), LineNames(PlenvoService::PlanTemplate::NewGrid()));
}

TEST_F(ServiceTest, UnknownEndpointsAndBodiesWhereNoneBelongAreRefused) {
    Teacher teacher = SignIn("1001");
    auto missing = Get("nosuchthing", &teacher);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    auto post = PostRaw("gethistory", "a=1", &teacher, false);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 415);
    auto bomb = PostRaw("nosuch", Deflate(std::string(1 << 20, 'a')), &teacher, true);
    ASSERT_TRUE(bomb);
    EXPECT_GE(bomb->status, 400);
    EXPECT_EQ(GetJson("gethistory", &teacher)["ok"], true);
}
