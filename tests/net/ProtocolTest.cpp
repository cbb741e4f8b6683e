#include "TestServer.h"
#include "support/Pump.h"
#include "support/TempDir.h"

#include "net/LoginRequest.h"
#include "net/ReplyCheck.h"
#include "net/SaveReply.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceTexts.h"
#include "net/ServiceUrl.h"
#include "net/SimpleCurlAsync.h"
#include "net/SuggestionReply.h"

#include <gtest/gtest.h>

using namespace Plenvo;
using nettest::TestServer;
using SimpleCurl::response;
using testsupport::PumpUntil;

namespace {

constexpr std::uint64_t kGenerousMs = 20000;

response Reply(int result, long status, std::string contentType, std::string body,
               std::string error = "No error") {
    response r;
    r.result = result;
    r.status = status;
    r.contentType = std::move(contentType);
    r.body = std::move(body);
    r.error = std::move(error);
    r.finished = true;
    return r;
}

TEST(ServiceUrl, CommandLineOverridesConfigurationWhichOverridesTheDefault) {
    EXPECT_EQ(ResolveServiceUrl("", ""), "http://127.0.0.1:8910/plenvo/");
    EXPECT_EQ(ResolveServiceUrl("  ", "\t"), "http://127.0.0.1:8910/plenvo/");
    EXPECT_EQ(ResolveServiceUrl("https://school.example/lp/", ""), "https://school.example/lp/");
    EXPECT_EQ(ResolveServiceUrl("https://school.example/lp", "http://10.0.0.2:80/x"),
              "http://10.0.0.2:80/x/");
}

TEST(ServiceUrl, ReadFromTheServiceSectionOfTheConfigurationFile) {
    testsupport::TempDir folder;
    const std::string path = folder.File("cfg.ini");
    testsupport::WriteBytes(path, "[LOGIN]\nID=1\n[service]\nurl = http://10.1.1.1:9000/lp\n");
    EXPECT_EQ(ReadServiceUrl(path, ""), "http://10.1.1.1:9000/lp/");
    EXPECT_EQ(ReadServiceUrl(path, "http://cmd/x/"), "http://cmd/x/");
    EXPECT_EQ(ReadServiceUrl(folder.File("absent.ini"), ""), "http://127.0.0.1:8910/plenvo/");
}

TEST(ServiceEndpoints, PathsAndEncodedValues) {
    CServiceEndpoints at("http://h/p/");
    // 语文 第1课: the blank as %20, every Chinese byte escaped.
    EXPECT_EQ(at.CreatePlan(2, 7, -1, "语文 第1课"),
              "http://h/p/createlp?lt=2&grade=7&subject=-1&lessiontitle="
              "%E8%AF%AD%E6%96%87%20%E7%AC%AC1%E8%AF%BE");
    EXPECT_EQ(at.SaveInfo(5, 1, 2, 3, "a-b"),
              "http://h/p/saveinfo?id=5&lt=1&grade=2&subject=3&lessiontitle=a%2Db");
    EXPECT_EQ(at.OpenPlan(12), "http://h/p/openlp?id=12");
    EXPECT_EQ(at.AddLineEvent("line_2", "line.1", "12"),
              "http://h/p/event?e=addline&name=line%5F2&aftername=line%2E1&id=12");
    EXPECT_EQ(at.AddSubLineEvent("line_2", "12"), "http://h/p/event?e=addline&name=line_2&id=12");
    EXPECT_EQ(at.DeleteLineEvent("l_1", "12", true), "http://h/p/event?e=delline&name=l%5F1&id=12");
    EXPECT_EQ(at.DeleteLineEvent("l_1", "12", false), "http://h/p/event?e=delline&name=l_1&id=12");
    EXPECT_EQ(at.SavePlan("12", 1, 22, 333), "http://h/p/event/save?id=12&t=1.22.333");
    EXPECT_EQ(at.UploadVersion("12", "1.2.3"), "http://h/p/event/save?id=12&t=1.2.3");
    EXPECT_EQ(at.Dump("1.0.0.1"), "http://h/p/dmp?ver=1.0.0.1");
}

TEST(ReplyCheck, TransferFailureStatusAndContentTypeGiveEachActionsTexts) {
    struct Case {
        ServiceAction action;
        std::string network;
        std::string status;
        std::string_view button;
    };
    const Case cases[] = {
        {ServiceAction::CreatePlan, "创建教案失败:[Couldn't connect to server],请检查网络连接",
         "创建教案失败:[404],请与管理员联系", "确定"},
        {ServiceAction::SaveInfo, "保存教案失败:[Couldn't connect to server],请检查网络连接",
         "保存教案失败:[404],请与管理员联系", "确定"},
        {ServiceAction::OpenPlan, "打开教案失败:[Couldn't connect to server],请检查网络连接",
         "打开教案失败:[404],请与管理员联系", "确定"},
        {ServiceAction::PlanInfo, "教案信息获取失败:[Couldn't connect to server],请检查网络连接",
         "教案信息获取失败:[404],请检查网络连接", "确定"},
        {ServiceAction::Template, "模板获取失败:[Couldn't connect to server],请检查网络连接",
         "模板获取失败:[404],请检查网络连接", "立即重试"},
    };
    for (const auto& c : cases) {
        auto failed = CheckReply(Reply(7, 0, "", "", "Couldn't connect to server"), c.action);
        EXPECT_FALSE(failed.good);
        EXPECT_EQ(failed.message, c.network);
        EXPECT_EQ(failed.button, c.button);
        auto notFound = CheckReply(Reply(0, 404, "application/json", "{}"), c.action);
        EXPECT_FALSE(notFound.good);
        EXPECT_EQ(notFound.message, c.status);
        auto html = CheckReply(Reply(0, 200, "text/html", "<b>50%s</b>"), c.action);
        EXPECT_FALSE(html.good);
        EXPECT_EQ(html.message, "服务器错误:[<b>50%s</b>]");
        EXPECT_TRUE(
            CheckReply(Reply(0, 200, "application/json;charset=UTF-8", "{}"), c.action).good);
    }
}

TEST(ReplyCheck, BodyThatIsNotAJsonObjectReadsAsBadJsonResponse) {
    for (std::string body : {"<html>", "", "[1,2]", "{\"ok\":tru"}) {
        auto object = ParseReplyObject(body);
        EXPECT_EQ(object["ok"], false) << body;
        EXPECT_EQ(object["error"], "bad json response") << body;
    }
    EXPECT_EQ(ParseReplyObject(R"({"ok":true,"lpdata":{"id":4}})")["lpdata"]["id"], 4);
}

TEST(ReplyCheck, CheckedCreateReplyReachesTheFormThroughTheWorker) {
    TestServer server;
    server.Get("createlp",
               [](const auto&, auto& res) { res.set_content("oops", "application/json"); });
    server.Get("openlp",
               [](const auto&, auto& res) { res.set_content("<h1>x</h1>", "text/html"); });
    server.Start();
    CServiceEndpoints at(server.Base());
    std::vector<std::string> events;
    auto handlers = [&](std::string name) {
        return ReplyHandlers{[&events, name] { events.push_back(name + ":settle"); },
                             [&events, name](const ReplyCheck& check) {
                                 events.push_back(name + ":fail:" + check.message);
                             },
                             [&events, name](nlohmann::json& reply) {
                                 events.push_back(name +
                                                  ":handle:" + reply["error"].get<std::string>());
                             }};
    };
    std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, nullptr)
        ->Get(at.CreatePlan(1, 1, 1, "t"), CheckedReply(ServiceAction::CreatePlan, handlers("c")));
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }, kGenerousMs));
    std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, nullptr)
        ->Get(at.OpenPlan(3), CheckedReply(ServiceAction::OpenPlan, handlers("o")));
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 4; }, kGenerousMs));
    EXPECT_EQ(events, (std::vector<std::string>{"c:settle", "c:handle:bad json response",
                                                "o:settle", "o:fail:服务器错误:[<h1>x</h1>]"}));
}

TEST(LoginReply, OutcomesAndTheirTexts) {
    using Outcome = LoginResult::Outcome;
    auto accepted = EvaluateLoginReply(Reply(0, 200, "application/json", R"({"ok":true})"));
    EXPECT_EQ(accepted.outcome, Outcome::Accepted);
    auto refused =
        EvaluateLoginReply(Reply(0, 200, "application/json", R"({"ok":false,"error":"密码错误"})"));
    EXPECT_EQ(refused.outcome, Outcome::Refused);
    EXPECT_EQ(refused.message, "密码错误");
    auto offline = EvaluateLoginReply(Reply(7, 0, "", "", "Couldn't connect to server"));
    EXPECT_EQ(offline.outcome, Outcome::Failed);
    EXPECT_EQ(offline.message, "网络错误:[Couldn't connect to server]");
    auto html = EvaluateLoginReply(Reply(0, 200, "text/html", "<p>"));
    EXPECT_EQ(html.message, "网络错误:[No error]");
    auto status = EvaluateLoginReply(Reply(0, 503, "application/json", "{}"));
    EXPECT_EQ(status.outcome, Outcome::Failed);
    auto unreadable = EvaluateLoginReply(Reply(0, 200, "application/json", "{ok"));
    EXPECT_EQ(unreadable.outcome, Outcome::Failed);
    EXPECT_EQ(unreadable.message, "服务器错误，请重试");
}

TEST(LoginRequest, SecondLoginWhilePendingSendsNothingAndTheSentValuesAreReported) {
    TestServer server;
    server.Post("login", [](const auto&, auto& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        res.set_content(R"({"ok":true})", "application/json");
    });
    server.Start();
    CServiceEndpoints at(server.Base());
    CLoginRequest login;
    std::vector<std::string> reported;
    LoginValues values{"1001", "王老师", "p&w d"};
    auto handler = [&](const LoginResult& result, const LoginValues& sent) {
        EXPECT_FALSE(login.Pending());
        EXPECT_EQ(result.outcome, LoginResult::Outcome::Accepted);
        reported = {sent.id, sent.name, sent.password};
    };
    ASSERT_TRUE(login.Send(at, nullptr, values, handler));
    values.name = "changed";
    EXPECT_TRUE(login.Pending());
    EXPECT_FALSE(login.Send(at, nullptr, {"2", "b", "c"}, handler));
    ASSERT_TRUE(PumpUntil([&] { return !reported.empty(); }, kGenerousMs));
    EXPECT_EQ(reported, (std::vector<std::string>{"1001", "王老师", "p&w d"}));
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].body, "id=1001&name=%E7%8E%8B%E8%80%81%E5%B8%88&password=p%26w%20d");
    // Once answered, a new login may go.
    EXPECT_TRUE(login.Send(at, nullptr, {"2", "b", "c"}, {}));
    ASSERT_TRUE(PumpUntil([&] { return !login.Pending(); }, kGenerousMs));
}

TEST(SaveReply, PlanSaveTexts) {
    EXPECT_EQ(EvaluatePlanSaveReply(Reply(0, 200, "application/json", R"({"ok":true})")).message,
              "保存成功");
    auto refused = EvaluatePlanSaveReply(
        Reply(0, 200, "application/json", R"({"ok":false,"error":"教案已锁定"})"));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, "教案已锁定");
    EXPECT_EQ(EvaluatePlanSaveReply(Reply(28, 0, "", "", "Timeout was reached")).message,
              "服务器错误:000000000000001C");
    EXPECT_EQ(EvaluatePlanSaveReply(Reply(0, 502, "text/plain", "gateway")).message,
              "服务器错误[502][No error]:gateway");
    EXPECT_EQ(EvaluatePlanSaveReply(Reply(0, 200, "application/json", "nope")).message,
              "bad json response");
}

TEST(SaveReply, UploadRemovesTheVersionOnSuccessOrPermanentRefusalOnly) {
    EXPECT_TRUE(
        EvaluateUploadReply(Reply(0, 200, "application/json", R"({"ok":true})")).removeVersion);
    EXPECT_TRUE(
        EvaluateUploadReply(Reply(0, 200, "application/json", R"({"ok":false,"error":"ignore"})"))
            .removeVersion);
    EXPECT_FALSE(
        EvaluateUploadReply(Reply(0, 200, "application/json", R"({"ok":false,"error":"busy"})"))
            .removeVersion);
    auto status = EvaluateUploadReply(Reply(0, 500, "text/plain", "down"));
    EXPECT_FALSE(status.removeVersion);
    EXPECT_EQ(status.diagnostic, "服务器错误[500]:down");
    EXPECT_FALSE(EvaluateUploadReply(Reply(7, 0, "", "")).removeVersion);
}

TEST(SuggestionReply, OnlyANonEmptyListForTheShownPlanCounts) {
    const std::string good =
        R"({"q":12,"suggestions":[{"text":"多举例"},{"rtf":"{\\rtf1 b}"},{"other":1},)"
        R"({"text":"t","rtf":"r"}]})";
    auto list = ParseSuggestions(Reply(0, 200, "application/json", good), 12);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 4u);
    EXPECT_FALSE((*list)[0].rtf);
    EXPECT_EQ((*list)[0].content, "多举例");
    EXPECT_TRUE((*list)[1].rtf);
    EXPECT_EQ((*list)[1].content, "{\\rtf1 b}");
    EXPECT_FALSE((*list)[2].rtf);
    EXPECT_EQ((*list)[2].content, "") << "neither text nor rtf: an empty box";
    EXPECT_FALSE((*list)[3].rtf) << "text beats rtf";
    EXPECT_EQ((*list)[3].content, "t");
    EXPECT_FALSE(ParseSuggestions(Reply(0, 200, "application/json", good), 13));
    EXPECT_FALSE(ParseSuggestions(Reply(0, 200, "text/plain", good), 12));
    EXPECT_FALSE(
        ParseSuggestions(Reply(0, 200, "application/json", R"({"q":12,"suggestions":[]})"), 12));
    EXPECT_FALSE(ParseSuggestions(
        Reply(0, 200, "application/json", R"({"q":"12","suggestions":[{"text":"a"}]})"), 12));
    EXPECT_FALSE(ParseSuggestions(Reply(0, 200, "application/json", R"({"q":12,)"), 12));
}

TEST(ServiceTexts, FillInsertsValuesVerbatim) {
    EXPECT_EQ(ServiceTexts::FillText("a[%d]b[%S]:%S 100%%", {"1", "%s", "x"}), "a[1]b[%s]:x 100%");
    EXPECT_EQ(ServiceTexts::FillText("[%s][%s]", {"only"}), "[only][]");
}

} // namespace
