#include "ServiceFixture.h"

#include <fstream>
#include <iterator>

using namespace PlenvoServiceTest;

TEST_F(ServiceTest, SuggestionsComeFromOtherTeachersPlansOfTheSameGradeAndSubject) {
    Teacher me = SignIn("1001", "王老师");
    Teacher colleague = SignIn("1002", "陈老师");
    int64_t mine = CreatePlan(me, "分数的初步认识", 3, 2);
    int64_t match = CreatePlan(colleague, "几分之一", 3, 2);
    int64_t otherGrade = CreatePlan(colleague, "分数的意义", 5, 2);
    int64_t unsaved = CreatePlan(colleague, "还没写", 3, 2);
    int64_t myOther = CreatePlan(me, "我的另一课", 3, 2);
    (void)unsaved;
    ASSERT_EQ(
        Save(colleague, match, "1.1.1",
             {{"template.aims.1.text", "__RTF__{\\rtf1 1.\\u35748?\\u35782?\\u20960?"
                                       "\\u20998?\\u20043?\\u19968?}"},
              {"template.teachproc.1.teacher", "出示一块月饼，平均分给两个人"},
              {"template.keypoints.value", "__RTF__{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 Song;}}"
                                           "\\f0 \\'b7\\'d6\\'ca\\'fd\\par}"}})["ok"],
        true);
    ASSERT_EQ(Save(colleague, otherGrade, "1.1.1", {{"template.keypoints.value", "x"}})["ok"],
              true);
    ASSERT_EQ(Save(me, myOther, "1.1.1", {{"template.keypoints.value", "mine"}})["ok"], true);

    json reply = GetJson("getsuggestion?id=" + std::to_string(mine), &me);
    EXPECT_EQ(reply["ok"], true);
    EXPECT_EQ(reply["q"], mine);
    ASSERT_EQ(reply["suggestions"].size(), 1u);
    std::string text = reply["suggestions"][0]["text"];
    EXPECT_NE(text.find("《几分之一》"), std::string::npos) << text;
    EXPECT_NE(text.find("陈老师"), std::string::npos);
    EXPECT_NE(text.find("【教学目标】\n1.认识几分之一"), std::string::npos) << text;
    EXPECT_NE(text.find("【教学重点】\n分数"), std::string::npos) << text; // GBK bytes decoded
    EXPECT_NE(text.find("教师活动：出示一块月饼"), std::string::npos) << text;
    EXPECT_EQ(text.find("fonttbl"), std::string::npos);
    EXPECT_EQ(text.find("Song"), std::string::npos);
    // Untouched template texts are not shown as content.
    EXPECT_EQ(text.find("三、巩固练习"), std::string::npos) << text;
}

TEST_F(ServiceTest, NoSuggestionsIsAnEmptyListForTheAskedPlan) {
    Teacher me = SignIn("1001");
    int64_t id = CreatePlan(me, "孤单的课", 7, 9);
    json reply = GetJson("getsuggestion?id=" + std::to_string(id), &me);
    EXPECT_EQ(reply["q"], id);
    EXPECT_EQ(reply["suggestions"], json::array());
}

TEST_F(ServiceTest, WithoutColleaguesPlansTheTeachersOwnSavedPlansAreSuggested) {
    Teacher me = SignIn("1001", "王老师");
    int64_t shown = CreatePlan(me, "第一课", 4, 1);
    int64_t saved = CreatePlan(me, "第二课", 4, 1);
    int64_t unsaved = CreatePlan(me, "第三课", 4, 1);
    (void)unsaved;
    ASSERT_EQ(Save(me, saved, "1.1.1", {{"template.keypoints.value", "朗读"}})["ok"], true);
    ASSERT_EQ(Save(me, shown, "1.1.1", {{"template.keypoints.value", "默写"}})["ok"], true);
    json suggestions = GetJson("getsuggestion?id=" + std::to_string(shown), &me)["suggestions"];
    ASSERT_EQ(suggestions.size(), 1u) << "the shown plan itself and unsaved ones are not offered";
    EXPECT_EQ(suggestions[0]["lessiontitle"], "第二课");
    EXPECT_NE(suggestions[0]["text"].get<std::string>().find("朗读"), std::string::npos);
}

TEST_F(ServiceTest, AtMostTenSuggestionsNewestFirst) {
    Teacher me = SignIn("1001");
    int64_t mine = CreatePlan(me, "我的课", 1, 1);
    for (int i = 0; i < 12; ++i) {
        Teacher other = SignIn("20" + std::to_string(i));
        int64_t id = CreatePlan(other, "课" + std::to_string(i), 1, 1);
        ASSERT_EQ(Save(other, id, "1.1.1", {{"template.keypoints.value", "k"}})["ok"], true);
    }
    json suggestions = GetJson("getsuggestion?id=" + std::to_string(mine), &me)["suggestions"];
    ASSERT_EQ(suggestions.size(), 10u);
    EXPECT_EQ(suggestions[0]["lessiontitle"], "课11");
}

class DumpTest : public ServiceTest {
protected:
    httplib::Result Upload(const std::string& version, const std::string& content,
                           const std::string& part = "file") {
        httplib::Client client("127.0.0.1", port_);
        httplib::MultipartFormDataItems items = {
            {part, content, "dmp.dmp", "application/octet-stream"}};
        return client.Post(("/plenvo/dmp?ver=" + version).c_str(), items);
    }
    std::vector<std::filesystem::path> Stored() {
        std::vector<std::filesystem::path> files;
        std::error_code ignored;
        for (auto& entry : std::filesystem::directory_iterator(folder_ / "data" / "dumps", ignored))
            files.push_back(entry.path());
        return files;
    }
};

TEST_F(DumpTest, UploadedDumpIsStoredInTheDataFolder) {
    std::string content(300000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    auto reply = Upload("1.0.0.1", content);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    auto files = Stored();
    ASSERT_EQ(files.size(), 1u);
    std::ifstream in(files[0], std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content);
    EXPECT_EQ(store_->DumpCount(), 1u);
}

TEST_F(DumpTest, OversizedMalformedAndExcessDumpsAreRefused) {
    options_.limits.maxDumpBytes = 1000;
    options_.limits.maxDumps = 2;
    Restart();
    EXPECT_EQ(Upload("1.0.0.1", std::string(1000, 'x'))->status, 200); // exactly the limit
    EXPECT_EQ(Upload("1.0.0.1", std::string(1001, 'x'))->status, 413);
    EXPECT_EQ(Upload("1.0.0.1", "dump", "notfile")->status, 400);
    EXPECT_EQ(Upload("../../etc", "dump")->status, 400);
    EXPECT_EQ(Upload("", "dump")->status, 400);
    auto plain = PostRaw("dmp?ver=1.0.0.1", "file=abc", nullptr, false);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->status, 400);
    EXPECT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Upload("1.0.0.2", "second")->status, 200);
    EXPECT_EQ(Upload("1.0.0.3", "third")->status, 507);
    EXPECT_EQ(Stored().size(), 2u);
}
