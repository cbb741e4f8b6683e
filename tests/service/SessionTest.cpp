#include "ServiceFixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace PlenvoServiceTest;

TEST_F(ServiceTest, FirstLoginRegistersAndLaterLoginsMustMatch) {
    std::string cookie;
    json first = Login("20240001", "李老师", "pa55 word", &cookie);
    EXPECT_EQ(first["ok"], true);
    EXPECT_EQ(first["registered"], true);
    EXPECT_NE(cookie.find("PLENVOSESSION="), std::string::npos);

    json again = Login("20240001", "李老师", "pa55 word");
    EXPECT_EQ(again["ok"], true);
    EXPECT_EQ(again["registered"], false);

    for (auto [name, password] : {std::pair{"李老师", "wrong"}, std::pair{"张老师", "pa55 word"}}) {
        json refused = Login("20240001", name, password);
        EXPECT_EQ(refused["ok"], false);
        EXPECT_FALSE(refused.value("error", "").empty());
    }
}

TEST_F(ServiceTest, LoginRefusesEmptyAndBadFieldsWithAClearError) {
    EXPECT_EQ(Login("", "李老师", "x")["ok"], false);
    EXPECT_EQ(Login("   ", "李老师", "x")["ok"], false);
    EXPECT_EQ(Login("1", "", "x")["ok"], false);
    EXPECT_EQ(Login("1", "李老师", "")["ok"], false);
    EXPECT_EQ(Login("1'; DROP TABLE teachers;--", "李老师", "x")["ok"], false);
    EXPECT_EQ(Login(std::string(33, '1'), "李老师", "x")["ok"], false);
    EXPECT_EQ(Login("1", std::string(40, 'a'), "x")["ok"], false);

    // A body that is not a form is a client fault, answered as such.
    for (std::string body : {"id=1&name=%ZZ&password=x", "just text", "=1&name=a"}) {
        auto result = PostRaw("login", body, nullptr, false);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 400) << body;
    }
    // Nothing was registered by any of them.
    EXPECT_EQ(Login("1", "李老师", "x")["registered"], true);
}

TEST_F(ServiceTest, SessionCookieIsHttpOnlyAndThePasswordIsNeverStored) {
    httplib::Client client("127.0.0.1", port_);
    auto result = client.Post(
        "/plenvo/login", Form({{"id", "777"}, {"name", "赵老师"}, {"password", "TopSecret42"}}),
        "application/x-www-form-urlencoded");
    ASSERT_TRUE(result);
    std::string cookie = result->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("Path=/plenvo/"), std::string::npos);

    Stop();
    std::string bytes;
    for (auto file : {"service.db", "service.db-wal"}) {
        std::ifstream in(folder_ / file, std::ios::binary);
        bytes.append(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_NE(bytes.find("赵老师"), std::string::npos); // the scan does see the data
    EXPECT_EQ(bytes.find("TopSecret42"), std::string::npos);
    Start();
}

TEST_F(ServiceTest, EveryPlanEndpointNeedsASession) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher);
    Teacher stranger{"PLENVOSESSION=0123456789abcdef"};
    const std::string plan = std::to_string(id);
    for (const std::string& endpoint : std::vector<std::string>{
             "gethistory", "createlp?lt=1&grade=1&subject=1&lessiontitle=a",
             "saveinfo?id=" + plan + "&lt=1&grade=1&subject=1&lessiontitle=a",
             "getlpinfo?id=" + plan, "openlp?id=" + plan, "deletelp?id=" + plan,
             "getsuggestion?id=" + plan,
             "event?e=delline&name=template.teachproc.2.container&id=" + plan}) {
        for (const Teacher* who : std::vector<const Teacher*>{nullptr, &stranger}) {
            json reply = GetJson(endpoint, who);
            EXPECT_EQ(reply["ok"], false) << endpoint;
            EXPECT_EQ(reply["error"], "未登录或登录已过期，请重新登录") << endpoint;
        }
    }
    json save = Save(stranger, id, "1.2.3", {{"template.keypoints.value", "x"}});
    EXPECT_EQ(save["ok"], false);
    EXPECT_NE(save["error"], "ignore");
    // The plan is untouched: still listed, same lines, no version stored.
    EXPECT_EQ(GetJson("gethistory", &teacher)["lps"].size(), 1u);
    EXPECT_EQ(store_->VersionCount(id), 0u);
}

TEST_F(ServiceTest, ClientExitEndsTheSession) {
    Teacher teacher = SignIn("1001");
    EXPECT_EQ(GetJson("gethistory", &teacher)["ok"], true);
    EXPECT_EQ(GetJson("clientexit", &teacher)["ok"], true);
    EXPECT_EQ(GetJson("gethistory", &teacher)["ok"], false);
    // Another login opens a new one.
    Teacher again = SignIn("1001");
    EXPECT_EQ(GetJson("gethistory", &again)["ok"], true);
}

TEST_F(ServiceTest, SessionsAndPlansSurviveARestart) {
    Teacher teacher = SignIn("1001");
    int64_t id = CreatePlan(teacher, "长方形的面积");
    ASSERT_EQ(
        Save(teacher, id, "1.1.1", {{"template.keypoints.value", "__RTF__{\\rtf1 面积}"}})["ok"],
        true);
    json before = OpenPlan(teacher, id);
    json historyBefore = GetJson("gethistory", &teacher);

    Restart();

    EXPECT_EQ(GetJson("gethistory", &teacher), historyBefore);
    EXPECT_EQ(OpenPlan(teacher, id), before);
    EXPECT_EQ(Login("1001", "王老师", "secret")["registered"], false);
}

TEST_F(ServiceTest, OneLinePerRequestIsLogged) {
    Teacher teacher = SignIn("1001");
    GetJson("gethistory", &teacher);
    Get("nosuchendpoint");
    // The line is written once the reply has gone out, so it may trail the reply a little.
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard lock(logMutex_);
            if (log_.size() >= 3)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(logMutex_);
    ASSERT_EQ(log_.size(), 3u);
    // Each connection logs on its own thread, so the order of the lines may vary.
    for (auto expected :
         {"POST /plenvo/login 200", "GET /plenvo/gethistory 200", "/plenvo/nosuchendpoint 404"})
        EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                                [&](const std::string& line) {
                                    return line.find(expected) != std::string::npos;
                                }),
                  1)
            << expected;
}
