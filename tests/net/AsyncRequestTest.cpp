#include "TestServer.h"
#include "support/Pump.h"

#include "net/SimpleCurlAsync.h"
#include "net/ThreadDispatcher.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <future>
#include <zlib.h>

#include <atomic>
#include <set>
#include <thread>

using namespace SimpleCurl;
using nettest::TestServer;
using testsupport::PumpFor;
using testsupport::PumpUntil;

namespace {

constexpr std::uint64_t kGenerousMs = 20000;

struct Delivery {
    int calls = 0;
    response reply;
    std::thread::id thread;
    std::uint64_t tick = 0;

    CSimpleCurlAsync::Callback Recorder() {
        return [this](response& r) {
            ++calls;
            reply = r;
            thread = std::this_thread::get_id();
            tick = platform::GetTickCount();
        };
    }
};

std::shared_ptr<CSimpleCurlAsync> NewRequest() {
    return std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, nullptr);
}

std::string Inflate(const std::string& packed) {
    std::string out(1 << 16, '\0');
    uLongf length = out.size();
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK) {
        return "<not zlib>";
    }
    out.resize(length);
    return out;
}

TEST(AsyncRequest, QueryJoinsExistingQueryAndEncodesValuesOnTheWire) {
    TestServer server;
    server.Get("q", [](const auto&, auto& res) { res.set_content("{}", "application/json"); });
    server.Start();
    Delivery first, second, third;
    NewRequest()->Get(server.Url("q"), {{"k", "a b/\xC3\xA7"}, {"", "dropped"}, {"n", "1"}},
                      first.Recorder());
    NewRequest()->Get(server.Url("q?x=1"), {{"k", "v"}}, second.Recorder());
    NewRequest()->Get(server.Url("q?x=1"), {}, third.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return first.calls && second.calls && third.calls; }, kGenerousMs));
    std::multiset<std::string> targets;
    for (const auto& seen : server.Requests()) {
        targets.insert(seen.target);
    }
    EXPECT_EQ(targets, (std::multiset<std::string>{"/plenvo/q?k=a%20b%2F%C3%A7&n=1",
                                                   "/plenvo/q?x=1&k=v", "/plenvo/q?x=1"}));
}

TEST(AsyncRequest, CompressedPostIsZlibWithHeaderAndRetriedByteIdentical) {
    TestServer server;
    std::atomic<int> hits{0};
    server.Post("save", [&](const auto&, auto& res) {
        if (++hits == 1) {
            TestServer::BreakTransfer(res);
        } else {
            res.set_content(R"({"ok":true})", "application/json");
        }
    });
    server.Start();
    const std::string form =
        "cell1=%5F%5FRTF%5F%5F%7B%5Crtf1%20x%7D&cell2=" + std::string(3000, 'a');
    auto request = NewRequest();
    Delivery delivery;
    request->Post(server.Url("save?id=1"),
                  {{"cell1", "__RTF__{\\rtf1 x}"}, {"cell2", std::string(3000, 'a')}}, true,
                  delivery.Recorder());
    const std::string sent = request->Body();
    ASSERT_TRUE(PumpUntil([&] { return delivery.calls > 0; }, kGenerousMs));
    EXPECT_EQ(delivery.calls, 1);
    EXPECT_EQ(delivery.reply.status, 200);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(sent[0]), 0x78); // zlib header, default level
    EXPECT_EQ(
        (static_cast<unsigned char>(sent[0]) * 256 + static_cast<unsigned char>(sent[1])) % 31, 0);
    EXPECT_TRUE(Inflate(sent) == form);
    EXPECT_TRUE(request->Body() == sent);
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& attempt : seen) {
        EXPECT_EQ(attempt.Header("Content-Encoding"), "deflate");
        // The server inflates what it receives: both attempts carried the same form.
        EXPECT_TRUE(attempt.body == form);
        EXPECT_EQ(attempt.Header("Content-Length"), std::to_string(sent.size()));
    }
}

TEST(AsyncRequest, PlainPostSendsTheFormWithoutContentEncoding) {
    TestServer server;
    server.Post("login", [](const auto&, auto& res) { res.set_content("{}", "application/json"); });
    server.Start();
    Delivery delivery;
    NewRequest()->Post(server.Url("login"), {{"id", "7"}, {"name", "张 三"}}, delivery.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return delivery.calls > 0; }, kGenerousMs));
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].body, "id=7&name=%E5%BC%A0%20%E4%B8%89");
    EXPECT_EQ(seen[0].Header("Content-Encoding"), "");
}

TEST(AsyncRequest, HttpErrorIsDeliveredOnceAtOnceWithoutRetry) {
    TestServer server;
    server.Get("boom", [](const auto&, auto& res) {
        res.status = 500;
        res.set_content("down", "text/plain");
    });
    server.Start();
    Delivery delivery;
    NewRequest()->Get(server.Url("boom"), delivery.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return delivery.calls > 0; }, kGenerousMs));
    EXPECT_EQ(server.Count("boom"), 1u) << "delivered without a retry first";
    PumpFor(1300); // a retry would have been sent after 1000 ms
    EXPECT_EQ(delivery.calls, 1);
    EXPECT_EQ(server.Count("boom"), 1u);
    EXPECT_EQ(delivery.reply.status, 500);
    EXPECT_TRUE(delivery.reply.finished);
    EXPECT_EQ(delivery.reply.result, 0);
    EXPECT_EQ(delivery.reply.body, "down");
}

TEST(AsyncRequest, RefusedConnectionIsDeliveredOnceAfterThreeRetriesWithTheLastError) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(nettest::UnusedPort()) + "/plenvo/gethistory";
    auto request = NewRequest();
    Delivery delivery;
    const auto started = platform::GetTickCount();
    request->Get(url, delivery.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return delivery.calls > 0; }, kGenerousMs));
    const auto elapsed = delivery.tick - started;
    // Three pauses of a second each came first; how much longer it took is the machine's load.
    EXPECT_GE(elapsed, 3000u);
    PumpFor(200);
    EXPECT_EQ(delivery.calls, 1);
    EXPECT_EQ(request->RetriesLeft(), 0);
    EXPECT_TRUE(delivery.reply.finished);
    EXPECT_EQ(delivery.reply.result, CURLE_COULDNT_CONNECT);
    EXPECT_EQ(delivery.reply.error, curl_easy_strerror(CURLE_COULDNT_CONNECT));
    EXPECT_EQ(delivery.reply.status, 0);
}

TEST(AsyncRequest, ThreeBrokenTransfersThenSuccessDeliverOnlyTheSuccess) {
    TestServer server;
    std::atomic<int> hits{0};
    server.Get("openlp", [&](const auto&, auto& res) {
        if (++hits <= 3) {
            TestServer::BreakTransfer(res);
        } else {
            res.set_header("ETag", "\"x\"");
            res.set_content(R"({"ok":true})", "application/json; charset=utf-8");
        }
    });
    server.Start();
    Delivery delivery;
    const auto started = platform::GetTickCount();
    NewRequest()->Get(server.Url("openlp?id=3"), delivery.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return delivery.calls > 0; }, kGenerousMs));
    EXPECT_GE(delivery.tick - started, 3000u);
    PumpFor(200);
    EXPECT_EQ(delivery.calls, 1);
    EXPECT_EQ(hits.load(), 4);
    EXPECT_EQ(delivery.reply.result, 0);
    EXPECT_EQ(delivery.reply.status, 200);
    EXPECT_EQ(delivery.reply.body, R"({"ok":true})");
    EXPECT_EQ(delivery.reply.contentType, "application/json; charset=utf-8");
    // Only the headers of the successful attempt remain, values exactly as on the wire.
    EXPECT_EQ(delivery.reply.headers.at("ETag"), " \"x\"\r\n");
    EXPECT_EQ(delivery.reply.headers.count("Transfer-Encoding"), 0u);
}

TEST(AsyncRequest, RequestWithoutCallbackIsSentAndReleased) {
    TestServer server;
    server.Get("event", [](const auto&, auto& res) { res.set_content("", "text/plain"); });
    server.Start();
    auto dispatcher = CThreadDispatcher::Current();
    const size_t before = dispatcher->InFlight();
    std::weak_ptr<CSimpleCurlAsync> watched;
    {
        auto request = NewRequest();
        watched = request;
        request->Get(server.Url("event?e=addline&name=a&id=1"));
    }
    EXPECT_EQ(dispatcher->InFlight(), before + 1);
    ASSERT_TRUE(PumpUntil([&] { return watched.expired(); }, kGenerousMs));
    EXPECT_EQ(dispatcher->InFlight(), before);
    EXPECT_EQ(server.Count("event"), 1u);
}

TEST(AsyncRequest, CallbacksRunOnTheStartingThreadInEitherOrder) {
    TestServer server;
    // The slow reply is held back until the fast one has been delivered: the order is made, not
    // hoped for.
    std::promise<void> fastDelivered;
    std::shared_future<void> released = fastDelivered.get_future().share();
    server.Get("slow", [released](const auto&, auto& res) {
        released.wait_for(std::chrono::seconds(30));
        res.set_content("slow", "text/plain");
    });
    server.Get("fast", [](const auto&, auto& res) {
        res.set_content(std::string(200000, 'f'), "text/plain");
    });
    server.Start();
    std::vector<std::string> order;
    std::thread::id progressThread;
    std::atomic<int> progressCalls{0};
    Delivery slow, fast;
    auto slowRequest = NewRequest();
    slowRequest->Get(server.Url("slow"), [&](response& r) {
        order.push_back(r.body);
        slow.Recorder()(r);
    });
    auto fastRequest = NewRequest();
    fastRequest->SetProgressCallback([&](double, double, double, double) {
        if (progressCalls++ == 0) {
            progressThread = std::this_thread::get_id();
        }
    });
    fastRequest->Get(server.Url("fast"), [&](response& r) {
        order.push_back(r.body.substr(0, 4));
        fast.Recorder()(r);
        fastDelivered.set_value();
    });
    ASSERT_TRUE(PumpUntil([&] { return slow.calls && fast.calls; }, kGenerousMs));
    EXPECT_EQ(order, (std::vector<std::string>{"ffff", "slow"}));
    EXPECT_EQ(slow.thread, std::this_thread::get_id());
    EXPECT_EQ(fast.thread, std::this_thread::get_id());
    EXPECT_EQ(fast.reply.body.size(), 200000u);
    // Progress is reported from the worker, which is never the requesting thread.
    EXPECT_GT(progressCalls.load(), 0);
    EXPECT_NE(progressThread, std::this_thread::get_id());
}

TEST(AsyncRequest, SecondThreadWithItsOwnQueueGetsItsOwnCompletionsAndRetries) {
    TestServer server;
    std::atomic<int> flakyHits{0};
    server.Get("a", [](const auto&, auto& res) { res.set_content("a", "text/plain"); });
    server.Get("flaky", [&](const auto&, auto& res) {
        if (++flakyHits == 1) {
            TestServer::BreakTransfer(res);
        } else {
            res.set_content("b", "text/plain");
        }
    });
    server.Start();
    Delivery mine;
    NewRequest()->Get(server.Url("a"), mine.Recorder());
    std::thread::id worker;
    std::thread::id callbackThread;
    int otherCalls = 0;
    std::string otherBody;
    platform::UINT_PTR firstTimerId = 0, nextTimerId = 0;
    bool released = false;
    std::thread other([&] {
        worker = std::this_thread::get_id();
        firstTimerId = CThreadDispatcher::Current()->NextTimerId();
        NewRequest()->Get(server.Url("flaky"), [&](response& r) {
            ++otherCalls;
            otherBody = r.body;
            callbackThread = std::this_thread::get_id();
        });
        PumpUntil([&] { return otherCalls > 0; }, kGenerousMs);
        nextTimerId = CThreadDispatcher::Current()->NextTimerId();
        const auto window = CThreadDispatcher::Current()->Window();
        CThreadDispatcher::ReleaseCurrentThread();
        released = !platform::IsWindow(window);
    });
    ASSERT_TRUE(PumpUntil([&] { return mine.calls > 0; }, kGenerousMs));
    other.join();
    EXPECT_EQ(mine.thread, std::this_thread::get_id());
    EXPECT_EQ(otherCalls, 1);
    EXPECT_EQ(otherBody, "b");
    EXPECT_EQ(callbackThread, worker);
    // The retry pause was that thread's first delayed call.
    EXPECT_EQ(firstTimerId, 4096u);
    EXPECT_EQ(nextTimerId, 4097u);
    EXPECT_TRUE(released);
}

} // namespace
