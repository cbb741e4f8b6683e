#include "support/Pump.h"
#include "TestServer.h"
#include "support/TempDir.h"

#include "net/ServiceEndpoints.h"
#include "net/SimpleCurl.h"
#include "net/SimpleCurlAsync.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace SimpleCurl;
using testsupport::PumpUntil;
using nettest::TestServer;

namespace {

constexpr std::uint64_t kGenerousMs = 20000;

void Answer(const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"ok":true})", "application/json");
}

TEST(Session, LoginCookieGoesWithEveryLaterRequestBlockingOnesIncluded) {
    TestServer server;
    server.Post("login", [](const auto&, auto& res) {
        res.set_header("Set-Cookie", "PLENVOSID=s3cr3t; Path=/");
        Answer({}, res);
    });
    server.Get("gethistory", Answer);
    server.Post("event/save", Answer);
    server.Get("clientexit", Answer);
    server.Post("dmp", Answer);
    server.Start();
    Plenvo::CServiceEndpoints endpoints(server.Base());
    auto session = std::make_shared<CSession>();

    int done = 0;
    auto count = [&](response&) { ++done; };
    std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, session)
        ->Post(endpoints.Login(), Plenvo::CServiceEndpoints::LoginForm("1", "a", "p"), count);
    ASSERT_TRUE(PumpUntil([&] { return done == 1; }, kGenerousMs));

    std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, session)
        ->Get(endpoints.History(), count);
    std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, session)
        ->Post(endpoints.SavePlan("9", 1, 2, 3), {{"c", "v"}}, true, count);
    // Without the session the cookie stays behind.
    std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, nullptr)
        ->Get(endpoints.History(), count);
    ASSERT_TRUE(PumpUntil([&] { return done == 4; }, kGenerousMs));

    CSimpleCurl exitNotice(session);
    exitNotice.Get(endpoints.ClientExit());
    EXPECT_TRUE(exitNotice.Result().finished);
    EXPECT_EQ(exitNotice.Result().status, 200);
    EXPECT_EQ(exitNotice.Result().body, R"({"ok":true})");

    testsupport::TempDir folder;
    testsupport::WriteBytes(folder.File("MyDump.dmp"), "MDMP");
    CSimpleCurl upload(session);
    upload.PostFile(endpoints.Dump("1.0.0.1"), folder.File("MyDump.dmp"));
    EXPECT_TRUE(upload.Result().finished);

    std::map<std::string, std::vector<std::string>> cookies;
    for (const auto& seen : server.Requests()) {
        cookies[seen.path].push_back(seen.Header("Cookie"));
    }
    EXPECT_EQ(cookies["/plenvo/login"], std::vector<std::string>{""});
    EXPECT_EQ(cookies["/plenvo/gethistory"].size(), 2u);
    EXPECT_EQ(std::count(cookies["/plenvo/gethistory"].begin(), cookies["/plenvo/gethistory"].end(),
                         "PLENVOSID=s3cr3t"),
              1);
    EXPECT_EQ(cookies["/plenvo/event/save"], std::vector<std::string>{"PLENVOSID=s3cr3t"});
    EXPECT_EQ(cookies["/plenvo/clientexit"], std::vector<std::string>{"PLENVOSID=s3cr3t"});
    EXPECT_EQ(cookies["/plenvo/dmp"], std::vector<std::string>{"PLENVOSID=s3cr3t"});
}

class PostFile : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Post("dmp", Answer);
        server_.Start();
    }

    void WriteDump(std::uintmax_t size) {
        std::ofstream file(path_, std::ios::binary | std::ios::trunc);
        std::string block(1 << 16, '\0');
        for (size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>(i * 7);
        }
        for (std::uintmax_t left = size; left > 0;) {
            const auto n = std::min<std::uintmax_t>(left, block.size());
            file.write(block.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
    }

    TestServer server_;
    testsupport::TempDir folder_;
    std::string path_ = folder_.File("MyDump.dmp");
};

TEST_F(PostFile, DumpOfExactlyTenMebibytesIsSentAsPartFileNamedDmp) {
    WriteDump(CSimpleCurl::kMaxFileBytes);
    CSimpleCurl request(nullptr);
    request.PostFile(server_.Url("dmp?ver=1.0.0.1"), path_);
    EXPECT_TRUE(request.Result().finished);
    EXPECT_EQ(request.Result().status, 200);
    const auto seen = server_.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].target, "/plenvo/dmp?ver=1.0.0.1");
    EXPECT_EQ(seen[0].fileName, "dmp.dmp");
    EXPECT_EQ(seen[0].fileContent.size(), CSimpleCurl::kMaxFileBytes);
    EXPECT_EQ(seen[0].fileContent[12345], static_cast<char>((12345 % (1 << 16)) * 7));
}

TEST_F(PostFile, OneByteMoreOrAMissingFileSendsNothing) {
    WriteDump(CSimpleCurl::kMaxFileBytes + 1);
    CSimpleCurl tooLarge(nullptr);
    tooLarge.PostFile(server_.Url("dmp?ver=1.0.0.1"), path_);
    EXPECT_FALSE(tooLarge.Result().finished);
    CSimpleCurl missing(nullptr);
    missing.PostFile(server_.Url("dmp?ver=1.0.0.1"), path_ + ".absent");
    EXPECT_FALSE(missing.Result().finished);
    EXPECT_EQ(server_.Requests().size(), 0u);
}

TEST(BlockingRequest, FailedTransferReportsNotFinishedAndNoBody) {
    CSimpleCurl request(nullptr);
    request.Get("http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/plenvo/clientexit");
    EXPECT_FALSE(request.Result().finished);
    EXPECT_EQ(request.Result().status, 0);
    EXPECT_TRUE(request.Result().body.empty());
}

} // namespace

namespace {

TEST(Session, BlockingRequestAndWorkerUseTheCookieStoreAtTheSameTime) {
    TestServer server;
    server.Get("gethistory", [](const auto&, auto& res) {
        res.set_header("Set-Cookie", "seen=1; Path=/");
        Answer({}, res);
    });
    server.Get("clientexit", Answer);
    server.Start();
    auto session = std::make_shared<CSession>();
    int done = 0;
    for (int i = 0; i < 20; ++i) {
        std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, session)
            ->Get(server.Url("gethistory"), [&](response&) { ++done; });
    }
    for (int i = 0; i < 5; ++i) {
        CSimpleCurl blocking(session);
        blocking.Get(server.Url("clientexit"));
        EXPECT_TRUE(blocking.Result().finished);
    }
    ASSERT_TRUE(PumpUntil([&] { return done == 20; }, kGenerousMs));
}

} // namespace
