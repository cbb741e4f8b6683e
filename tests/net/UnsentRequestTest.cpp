// Requests that never reach the network: each still gets exactly one completion, so that no
// caller waits forever and no dispatcher keeps a request in flight.
#include "TestServer.h"
#include "support/Pump.h"

#include "net/SimpleCurlAsync.h"
#include "net/ThreadDispatcher.h"
#include "net/Worker.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

using namespace SimpleCurl;
using nettest::TestServer;
using testsupport::PumpPending;
using testsupport::PumpUntil;

namespace {

constexpr std::uint64_t kGenerousMs = 20000;

std::shared_ptr<CSimpleCurlAsync> NewRequest() {
    return std::make_shared<CSimpleCurlAsync>(__FILE__, __LINE__, nullptr);
}

struct Outcome {
    int calls = 0;
    response reply;

    CSimpleCurlAsync::Callback Recorder() {
        return [this](response& r) {
            ++calls;
            reply = r;
        };
    }
};

// A loopback socket that accepts connections and never answers: a transfer to it stays running.
class SilentListener {
public:
    SilentListener() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("the silent listener could not listen");
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() {
        if (accepted_ >= 0) {
            ::close(accepted_);
        }
        ::close(listener_);
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/plenvo/" + path;
    }
    // Waits for one connection, at most timeoutMs.
    bool Accept(int timeoutMs) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, timeoutMs) != 1) {
            return false;
        }
        accepted_ = ::accept(listener_, nullptr, nullptr);
        return accepted_ >= 0;
    }

private:
    int listener_ = -1;
    int accepted_ = -1;
    int port_ = 0;
};

TEST(UnsentRequest, TransferTheLibraryRefusesToStartIsRetriedAndDeliveredOnce) {
    TestServer server;
    server.Get("history", [](const auto&, auto& res) { res.set_content("[]", "text/plain"); });
    server.Start();
    auto dispatcher = CThreadDispatcher::Current();
    const size_t before = dispatcher->InFlight();
    auto request = NewRequest();
    // A transfer that already belongs to another set cannot be added to the worker's.
    CURLM* other = curl_multi_init();
    ASSERT_EQ(curl_multi_add_handle(other, request->Handle()), CURLM_OK);
    Outcome outcome;
    request->Get(server.Url("history"), outcome.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return outcome.calls > 0; }, kGenerousMs))
        << "the refused request was never completed";
    // Once the dispatcher no longer holds it, no completion can follow.
    ASSERT_TRUE(PumpUntil([&] { return dispatcher->InFlight() == before; }, kGenerousMs));
    PumpPending();
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.reply.status, 200);
    EXPECT_EQ(outcome.reply.body, "[]");
    EXPECT_EQ(request->RetriesLeft(), CSimpleCurlAsync::kRetries - 1);
    EXPECT_EQ(server.Count("history"), 1u);
    EXPECT_EQ(dispatcher->InFlight(), before);
    curl_multi_cleanup(other);
}

TEST(UnsentRequest, StoppingTheWorkerCompletesRunningAndLaterRequestsWithTheReason) {
    SilentListener listener;
    // Whatever fails below, the worker runs again for the tests that follow.
    struct Restart {
        ~Restart() { StartWorker(); }
    } restart;
    auto dispatcher = CThreadDispatcher::Current();
    const size_t before = dispatcher->InFlight();
    Outcome running, later;
    NewRequest()->Get(listener.Url("slow"), running.Recorder());
    ASSERT_TRUE(listener.Accept(static_cast<int>(kGenerousMs))) << "the request never connected";
    ASSERT_TRUE(StopWorker(5000));
    NewRequest()->Post(listener.Url("save"), {{"id", "1"}}, later.Recorder());
    ASSERT_TRUE(PumpUntil([&] { return running.calls > 0 && later.calls > 0; }, kGenerousMs))
        << "a request was left in flight after the worker stopped";
    // Once the dispatcher no longer holds it, no completion can follow.
    ASSERT_TRUE(PumpUntil([&] { return dispatcher->InFlight() == before; }, kGenerousMs));
    PumpPending();
    for (const Outcome* outcome : {&running, &later}) {
        EXPECT_EQ(outcome->calls, 1);
        EXPECT_NE(outcome->reply.result, 0);
        EXPECT_EQ(outcome->reply.status, 0);
        EXPECT_FALSE(outcome->reply.finished);
        EXPECT_NE(outcome->reply.error.find("HTTP worker has stopped"), std::string::npos)
            << outcome->reply.error;
    }
    EXPECT_EQ(dispatcher->InFlight(), before);
}

TEST(UnsentRequest, AStartedRequestCannotBeStartedAgain) {
    TestServer server;
    server.Get("a", [](const auto&, auto& res) { res.set_content("a", "text/plain"); });
    server.Start();
    auto dispatcher = CThreadDispatcher::Current();
    const size_t before = dispatcher->InFlight();
    auto request = NewRequest();
    Outcome first, again;
    request->Get(server.Url("a"), first.Recorder());
    EXPECT_THROW(request->Post(server.Url("a"), {{"k", "v"}}, again.Recorder()), std::logic_error);
    ASSERT_TRUE(PumpUntil([&] { return first.calls > 0; }, kGenerousMs));
    EXPECT_THROW(request->Get(server.Url("a"), again.Recorder()), std::logic_error);
    // Once the dispatcher no longer holds it, no completion can follow.
    ASSERT_TRUE(PumpUntil([&] { return dispatcher->InFlight() == before; }, kGenerousMs));
    PumpPending();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(first.reply.body, "a");
    EXPECT_EQ(again.calls, 0);
    EXPECT_EQ(server.Count("a"), 1u);
}

} // namespace
