// The upload thread against a real HTTP server on loopback: what it sends, in which order, and
// which files it deletes.
#include "plan/Uploader.h"
#include "net/TestServer.h"
#include "plan/VersionFolder.h"
#include "support/Pump.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

using nettest::TestServer;
using Plenvo::CUploader;
using Plenvo::CVersionFolder;
using testsupport::PumpUntil;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

constexpr std::uint64_t kWaitMs = 20000;

void Put(const TempDir& dir, const std::string& name, const std::string& id,
         const std::string& text) {
    WriteBytes(dir.File(name), nlohmann::json{{"id", id},
                                              {"lessiontitle", "分数"},
                                              {"grade", "3"},
                                              {"subject", "2"},
                                              {"cell b", "__RTF__" + text},
                                              {"a-cell", "x"}}
                                   .dump());
}

std::set<std::string> Names(const TempDir& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// For what another thread does without a message to this one.
bool WaitUntil(const std::function<bool()>& condition) {
    for (std::uint64_t waited = 0; waited < kWaitMs && !condition(); waited += 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

void ReplyJson(httplib::Response& res, const std::string& body) {
    res.set_content(body, "application/json; charset=utf-8");
}

// The uploader of a test: the folder, the server, and the test's own clock.
struct Upload {
    explicit Upload(const std::string& base, const TempDir& dir)
        : folder(std::make_shared<CVersionFolder>(dir.Path())),
          uploader(
              std::make_shared<CUploader>(folder, base, nullptr, [this] { return tick.load(); })) {}

    // One pass on this thread, its replies served.
    void PassAndSettle() {
        uploader->Pass();
        ASSERT_TRUE(PumpUntil([&] { return uploader->InFlight() == 0; }, kWaitMs))
            << "the pass's uploads did not complete";
    }

    std::atomic<std::uint64_t> tick{1000};
    std::shared_ptr<CVersionFolder> folder;
    std::shared_ptr<CUploader> uploader;
};

} // namespace

TEST(Uploader, APassSendsTheNewestCompressedInKeyOrderAndDeletesTheRest) {
    TestServer server;
    server.Post("event/save", [](const auto&, auto& res) { ReplyJson(res, R"({"ok":true})"); });
    server.Start();
    TempDir dir;
    Put(dir, "7.9.1.1.json", "7", "a larger");
    Put(dir, "7.1.1.2.json", "7", "newest");
    Put(dir, "7.1.2.1.json", "7", "b larger");
    for (const char* other :
         {"7.1.2.3.json.temp", "notes.txt", "abc.json", "backup-7.9.9.9.json"}) {
        WriteBytes(dir.File(other), "{}");
    }
    Upload upload(server.Base(), dir);
    upload.PassAndSettle();

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/plenvo/event/save?id=7&t=1.1.2");
    EXPECT_EQ(requests[0].Header("Content-Encoding"), "deflate");
    // The server has inflated the body already.
    EXPECT_EQ(requests[0].body, "a-cell=x&cell b=%5F%5FRTF%5F%5Fnewest&grade=3&id=7&"
                                "lessiontitle=%E5%88%86%E6%95%B0&subject=2");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"7.1.2.3.json.temp", "notes.txt", "abc.json",
                                                 "backup-7.9.9.9.json"}));
}

TEST(Uploader, TheReplyDecidesWhetherAVersionGoes) {
    TestServer server;
    server.Post("event/save", [](const httplib::Request& req, httplib::Response& res) {
        const std::string id = req.get_param_value("id");
        if (id == "1") {
            ReplyJson(res, R"({"ok":true})");
        } else if (id == "2") {
            ReplyJson(res, R"({"ok":false,"error":"ignore"})");
        } else if (id == "3") {
            ReplyJson(res, R"({"ok":false,"error":"不能保存其他教师的教案"})");
        } else if (id == "4") {
            res.status = 500;
            ReplyJson(res, R"({"ok":true})");
        } else if (id == "5") {
            res.set_content(R"({"ok":true})", "text/html");
        } else {
            ReplyJson(res, "not json at all");
        }
    });
    server.Start();
    TempDir dir;
    for (const char* id : {"1", "2", "3", "4", "5", "6"}) {
        Put(dir, std::string(id) + ".1.1.1.json", id, "text");
    }
    Upload upload(server.Base(), dir);
    upload.PassAndSettle();
    EXPECT_EQ(Names(dir), (std::set<std::string>{"3.1.1.1.json", "4.1.1.1.json", "5.1.1.1.json",
                                                 "6.1.1.1.json"}));
    ASSERT_EQ(server.Count("event/save"), 6u);
    // Kept versions go out again with the next pass. They travel side by side, so the service
    // may take them in any order.
    upload.PassAndSettle();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 10u);
    std::set<std::string> again;
    for (std::size_t i = 6; i < requests.size(); ++i) {
        again.insert(requests[i].target);
    }
    EXPECT_EQ(again, (std::set<std::string>{
                         "/plenvo/event/save?id=3&t=1.1.1", "/plenvo/event/save?id=4&t=1.1.1",
                         "/plenvo/event/save?id=5&t=1.1.1", "/plenvo/event/save?id=6&t=1.1.1"}));
}

TEST(Uploader, AVersionInFlightIsNotSentAgainAndANewerOneWaitsForIt) {
    std::mutex mutex;
    std::condition_variable cv;
    bool release = false;
    TestServer server;
    server.Post("event/save", [&](const auto&, auto& res) {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return release; });
        ReplyJson(res, R"({"ok":true})");
    });
    server.Start();
    TempDir dir;
    Put(dir, "7.1.1.1.json", "7", "first");
    Upload upload(server.Base(), dir);
    upload.uploader->Pass();
    ASSERT_TRUE(WaitUntil([&] { return server.Count("event/save") == 1; }));
    // A slow link: the next pass comes while the first upload still runs.
    Put(dir, "7.1.1.2.json", "7", "second");
    upload.uploader->Pass();
    EXPECT_EQ(upload.uploader->InFlight(), 1u);
    EXPECT_EQ(Names(dir), std::set<std::string>{"7.1.1.2.json"}) << "the older one is superseded";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(PumpUntil([&] { return upload.uploader->InFlight() == 0; }, kWaitMs));
    EXPECT_EQ(server.Count("event/save"), 1u);
    upload.PassAndSettle();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].target, "/plenvo/event/save?id=7&t=1.1.2");
    EXPECT_TRUE(Names(dir).empty());
}

// A pass over many plans (a teacher back from a week offline) must not open a connection per
// plan at once: a service serves a few connections per client and refuses the rest, which then
// wait out the retry pause. The uploads go a few at a time until all are stored.
TEST(Uploader, AManyPlanPassKeepsOnlyAFewUploadsOnTheWireAtOnce) {
    constexpr std::size_t kPlans = 12;
    std::mutex mutex;
    std::condition_variable cv;
    std::size_t active = 0, arrived = 0, most = 0;
    TestServer server;
    server.Post("event/save", [&](const auto&, auto& res) {
        std::unique_lock lock(mutex);
        ++arrived;
        most = std::max(most, ++active);
        cv.notify_all();
        // Each upload is held a moment, so that whatever the client sends beside it arrives
        // meanwhile and is counted.
        cv.wait_for(lock, std::chrono::milliseconds(250), [&] { return arrived == kPlans; });
        --active;
        ReplyJson(res, R"({"ok":true})");
    });
    server.Start();
    TempDir dir;
    for (std::size_t id = 1; id <= kPlans; ++id) {
        Put(dir, std::to_string(id) + ".1.1.1.json", std::to_string(id), "text");
    }
    Upload upload(server.Base(), dir);
    upload.uploader->Pass();
    EXPECT_EQ(upload.uploader->InFlight(), kPlans) << "waiting versions count as in flight";
    ASSERT_TRUE(PumpUntil([&] { return upload.uploader->InFlight() == 0; }, kWaitMs));
    EXPECT_EQ(server.Count("event/save"), kPlans);
    EXPECT_TRUE(Names(dir).empty());
    std::lock_guard lock(mutex);
    EXPECT_LE(most, CUploader::kUploadsAtOnce);
}

TEST(Uploader, WithTheServiceAwayOnlyTheSupersededDisappear) {
    TempDir dir;
    Put(dir, "7.1.1.1.json", "7", "old");
    Put(dir, "7.1.1.2.json", "7", "newest");
    Put(dir, "8.1.1.1.json", "8", "other plan");
    Upload upload("http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/plenvo/", dir);
    upload.PassAndSettle();
    EXPECT_EQ(Names(dir), (std::set<std::string>{"7.1.1.2.json", "8.1.1.1.json"}));
}

TEST(Uploader, TheThreadPassesEveryFiveSecondsOfItsClockAndOnceMoreAtExit) {
    TestServer server;
    server.Post("event/save", [](const auto&, auto& res) { ReplyJson(res, R"({"ok":true})"); });
    server.Start();
    TempDir dir;
    Upload upload(server.Base(), dir);
    platform::Event exit(true, false);
    std::thread thread([&] { upload.uploader->Run(exit); });
    ASSERT_TRUE(WaitUntil([&] { return upload.uploader->Polls() >= 3; }));
    EXPECT_EQ(upload.uploader->Passes(), 0u);
    upload.tick += CUploader::kPassIntervalMs;
    const std::uint64_t polls = upload.uploader->Polls();
    ASSERT_TRUE(WaitUntil([&] { return upload.uploader->Polls() >= polls + 3; }));
    EXPECT_EQ(upload.uploader->Passes(), 0u) << "exactly five seconds is not yet more than five";
    upload.tick += 1;
    ASSERT_TRUE(WaitUntil([&] { return upload.uploader->Passes() == 1; }));

    // Written just before the program ends: the last pass sends it and waits for the reply.
    Put(dir, "7.1.1.1.json", "7", "closing");
    exit.Set();
    thread.join();
    EXPECT_EQ(upload.uploader->Passes(), 2u);
    EXPECT_EQ(server.Count("event/save"), 1u);
    EXPECT_TRUE(Names(dir).empty());
}
