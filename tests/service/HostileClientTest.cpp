#include "RawConnection.h"
#include "ServiceFixture.h"

#include <sys/resource.h>

using namespace PlenvoServiceTest;
using namespace std::chrono_literals;

namespace {
const std::string kTemplateRequest =
    "GET /plenvo/viewtemp?name=main HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

int Status(const std::string& reply) {
    return reply.size() > 12 ? std::atoi(reply.c_str() + 9) : 0;
}

json Body(const std::string& reply) {
    size_t at = reply.find("\r\n\r\n");
    return at == std::string::npos ? json() : json::parse(reply.substr(at + 4), nullptr, false);
}

// What the service said before it closed the connection: a status and the reply's `error`.
void ExpectRefusal(const RawConnection& connection, int status, const std::string& error) {
    EXPECT_EQ(Status(connection.Received()), status);
    EXPECT_EQ(Body(connection.Received()).value("error", ""), error);
}

// Room for the test's own sockets on both ends.
void RaiseFileLimit() {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
        setrlimit(RLIMIT_NOFILE, &files);
    }
}
} // namespace

class HostileClientTest : public ServiceTest {
protected:
    void SetUp() override {
        RaiseFileLimit();
        ServiceTest::SetUp();
    }
    // An ordinary request on a connection of its own, as a teacher's client makes it.
    std::string Ordinary(std::chrono::milliseconds timeout) {
        RawConnection teacher(port_);
        EXPECT_TRUE(teacher.Send(kTemplateRequest));
        return teacher.ReadReply(timeout);
    }
    // Connections from `count` addresses `prefix`1, `prefix`2, …, each answered once and now
    // idle between requests.
    void OpenIdle(std::vector<RawConnection>& idle, int count, const std::string& prefix) {
        for (int i = 0; i < count; ++i) {
            idle.emplace_back(port_, prefix + std::to_string(1 + i));
            ASSERT_TRUE(idle.back().Send(kTemplateRequest));
            ASSERT_EQ(Status(idle.back().ReadReply(10s)), 200);
        }
    }
};

// Three hundred connections trickle their headers from ten addresses, far more than the four
// serving threads: the ordinary request is answered while every one of them is still held open
// (a service that gave each a thread would answer it only once they were let go), and the
// trickling connections are still served when they finally finish.
TEST_F(HostileClientTest, SlowConnectionsLeaveTheServiceToOthers) {
    options_.threads = 4;
    options_.connections.headDeadline = 600s;
    options_.connections.requestDeadline = 600s;
    Restart();
    std::vector<RawConnection> slow;
    for (int i = 0; i < 300; ++i) {
        slow.emplace_back(port_, "127.0.1." + std::to_string(1 + i % 10));
        ASSERT_TRUE(slow.back().Connected()) << i;
        ASSERT_TRUE(slow.back().Send("GET /plenvo/viewtemp?name=suggestion HTTP/1.1\r\n"));
    }
    for (int round = 0; round < 3; ++round)
        for (auto& connection : slow)
            ASSERT_TRUE(connection.Send("X-Trickle-" + std::to_string(round) + ": 1\r\n"));

    // The wait allowed is generous for a loaded machine; the time it took is recorded (a
    // quiet machine answers in a few milliseconds).
    auto asked = std::chrono::steady_clock::now();
    std::string reply = Ordinary(30s);
    RecordProperty("ordinary_reply_ms",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - asked)
                                        .count()));
    EXPECT_EQ(Status(reply), 200) << "an ordinary request waited behind slow connections";
    EXPECT_NE(reply.find("ETag: "), std::string::npos);
    int stillHeld = 0;
    for (auto& connection : slow)
        stillHeld += !connection.ClosedByService(0ms) && connection.Received().empty();
    EXPECT_EQ(stillHeld, 300);

    for (auto& connection : slow)
        ASSERT_TRUE(connection.Send("Host: 127.0.0.1\r\n\r\n"));
    int answered = 0;
    for (auto& connection : slow)
        answered += Status(connection.ReadReply(10s)) == 200;
    EXPECT_EQ(answered, 300);
}

// Each trickled header line would renew a per-read timeout; the deadline counts from the
// request's first byte, so the connection is cut off all the same and told why.
TEST_F(HostileClientTest, TrickledHeadersAreCutOffAtTheDeadline) {
    options_.connections.headDeadline = 1s;
    Restart();
    RawConnection slow(port_);
    ASSERT_TRUE(slow.Send("GET /plenvo/viewtemp?name=main HTTP/1.1\r\n"));
    bool closed = false;
    for (int line = 0; line < 200 && !closed; ++line) {
        slow.Send("X-Trickle: " + std::to_string(line) + "\r\n");
        closed = slow.ClosedByService(50ms);
    }
    ASSERT_TRUE(closed) << "still open after 200 trickled lines";
    ExpectRefusal(slow, 408, "请求超时，请检查网络后重试");
    EXPECT_EQ(Status(Ordinary(10s)), 200);
}

// A save whose body arrives slower than the request deadline is cut off and never stored.
TEST_F(HostileClientTest, ABodySlowerThanTheDeadlineIsCutOff) {
    // Long enough for the ordinary save below, which a loaded machine may send in pieces.
    options_.connections.requestDeadline = 2s;
    Restart();
    Teacher teacher = SignIn("80001");
    int64_t id = CreatePlan(teacher);
    // At ten bytes per 25 ms the whole body would take 15 s: far past the deadline however
    // loaded the machine is.
    std::string body = Form({{"template.keypoints.value", std::string(6000, 'a')}});
    RawConnection slow(port_);
    ASSERT_TRUE(slow.Send("POST /plenvo/event/save?id=" + std::to_string(id) +
                          "&t=1.0.0 HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + teacher.cookie +
                          "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                          "Content-Length: " +
                          std::to_string(body.size()) + "\r\n\r\n"));
    bool closed = false;
    size_t sent = 0;
    for (; sent < body.size() && !closed; sent += 10) {
        slow.Send(body.substr(sent, 10));
        closed = slow.ClosedByService(25ms);
    }
    ASSERT_TRUE(closed) << "the whole body was taken at a trickle";
    EXPECT_LT(sent, body.size());
    ExpectRefusal(slow, 408, "请求超时，请检查网络后重试");
    EXPECT_EQ(store_->VersionCount(id), 0u);
    // The same save at an ordinary pace is taken.
    EXPECT_EQ(Save(teacher, id, "1.0.0", {{"template.keypoints.value", "a"}}).value("ok", false),
              true);
}

// Clients that send requests and never read the replies hold no serving thread: each asks for
// far more than its socket and the service's can hold (the window it offers is small), yet
// with a single serving thread an ordinary request is still answered, and the stalled clients
// get every reply in order once they read.
TEST_F(HostileClientTest, ClientsThatDoNotReadHoldNoServingThread) {
    options_.threads = 1;
    Restart();
    std::string pipelined;
    for (int i = 0; i < 250; ++i)
        pipelined += kTemplateRequest;
    std::vector<RawConnection> stalled;
    for (int i = 0; i < 4; ++i) {
        stalled.emplace_back(port_, "127.0.2." + std::to_string(1 + i), 4096);
        ASSERT_TRUE(stalled.back().Send(pipelined));
    }
    EXPECT_EQ(Status(Ordinary(30s)), 200);
    for (int i = 0; i < 250; ++i)
        ASSERT_EQ(Status(stalled.front().ReadReply(10s)), 200) << i;
    for (size_t c = 1; c < stalled.size(); ++c)
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(Status(stalled[c].ReadReply(10s)), 200) << c;
}

// One address may hold only so many connections that are in the middle of a request; the next
// one is refused at once with a reason, while other addresses are served as usual.
TEST_F(HostileClientTest, OneAddressCannotTakeEveryConnection) {
    options_.connections.maxPerAddress = 8;
    options_.connections.headDeadline = 600s;
    Restart();
    std::vector<RawConnection> held;
    for (int i = 0; i < 8; ++i) {
        held.emplace_back(port_, "127.0.3.1");
        ASSERT_TRUE(held.back().Send("GET /plenvo/viewtemp?name=main HTTP/1.1\r\n"));
    }
    // The service has seen all eight once a request behind them is answered.
    EXPECT_EQ(Status(Ordinary(10s)), 200);
    RawConnection ninth(port_, "127.0.3.1");
    ninth.Send(kTemplateRequest);
    ASSERT_TRUE(ninth.ClosedByService(10s));
    ExpectRefusal(ninth, 503, "来自同一地址的连接过多，请稍后再试");
    EXPECT_EQ(Status(Ordinary(10s)), 200);
}

// At the connection limit, the connection idle the longest makes room for a new one.
TEST_F(HostileClientTest, IdleConnectionsMakeRoomWhenTheServiceIsFull) {
    options_.connections.maxConnections = 6;
    options_.connections.busyIdleTimeout = 60s;
    Restart();
    std::vector<RawConnection> idle;
    ASSERT_NO_FATAL_FAILURE(OpenIdle(idle, 6, "127.0.4."));
    RawConnection late(port_, "127.0.4.100");
    ASSERT_TRUE(late.Send(kTemplateRequest));
    EXPECT_EQ(Status(late.ReadReply(10s)), 200);
    EXPECT_TRUE(idle.front().ClosedByService(10s));
    EXPECT_FALSE(idle.back().ClosedByService(0ms));
}

// What cannot be taken whole is refused at once with a reason: a head past its limit, and a
// chunked body of tiny chunks with long extensions, which grows the buffered request without its
// body ever reaching the limit (it would otherwise be read again and again until its deadline).
TEST_F(HostileClientTest, RequestsTooLargeToTakeAreRefusedWithAReason) {
    options_.limits.maxBodyBytes = 1000;
    options_.connections.requestDeadline = 600s;
    options_.connections.headDeadline = 600s;
    Restart();
    RawConnection longHead(port_);
    ASSERT_TRUE(longHead.Send("GET /plenvo/viewtemp?name=main HTTP/1.1\r\nX: "));
    const std::string filler(4096, 'h');
    for (int i = 0; i < 20 && !longHead.ClosedByService(0ms); ++i)
        longHead.Send(filler);
    ASSERT_TRUE(longHead.ClosedByService(30s));
    ExpectRefusal(longHead, 431, "请求头过大");

    RawConnection greedy(port_);
    ASSERT_TRUE(greedy.Send("POST /plenvo/event/save?id=1&t=1.0.0 HTTP/1.1\r\nHost: x\r\n"
                            "Transfer-Encoding: chunked\r\n\r\n"));
    const std::string chunk = "1;" + std::string(900, 'e') + "\r\nx\r\n";
    for (int i = 0; i < 160 && !greedy.ClosedByService(0ms); ++i)
        greedy.Send(chunk);
    ASSERT_TRUE(greedy.ClosedByService(30s)) << "held until the request deadline";
    ExpectRefusal(greedy, 413, "请求数据过大");
    EXPECT_EQ(Status(Ordinary(10s)), 200);
}

// Once half the connections are open, a kept-alive connection between requests is closed after
// the short idle time, not the usual one; connections in the middle of a request are kept.
TEST_F(HostileClientTest, IdleConnectionsCloseSoonerWhenTheServiceIsBusy) {
    options_.connections.maxConnections = 8;
    options_.connections.idleTimeout = 600s;
    options_.connections.busyIdleTimeout = 100ms;
    options_.connections.headDeadline = 600s;
    Restart();
    std::vector<RawConnection> idle;
    ASSERT_NO_FATAL_FAILURE(OpenIdle(idle, 2, "127.0.5."));
    EXPECT_FALSE(idle.front().ClosedByService(300ms)) << "closed while the service was quiet";
    std::vector<RawConnection> receiving;
    for (int i = 0; i < 2; ++i) {
        receiving.emplace_back(port_, "127.0.5." + std::to_string(10 + i));
        ASSERT_TRUE(receiving.back().Send("GET /plenvo/viewtemp?name=main HTTP/1.1\r\n"));
    }
    for (auto& connection : idle)
        EXPECT_TRUE(connection.ClosedByService(30s));
    for (auto& connection : receiving) {
        ASSERT_TRUE(connection.Send("Host: 127.0.0.1\r\n\r\n"));
        EXPECT_EQ(Status(connection.ReadReply(10s)), 200);
    }
}

// The wire is unchanged by taking requests whole: pipelined requests are answered in order
// on one connection, and a client that waits for "100 Continue" gets exactly one.
TEST_F(HostileClientTest, PipeliningAndContinueKeepTheirMeaning) {
    RawConnection client(port_);
    ASSERT_TRUE(client.Send(kTemplateRequest + "GET /plenvo/nothing HTTP/1.1\r\nHost: x\r\n\r\n" +
                            kTemplateRequest));
    EXPECT_EQ(Status(client.ReadReply(10s)), 200);
    std::string missing = client.ReadReply(10s);
    EXPECT_EQ(Status(missing), 404);
    EXPECT_EQ(Body(missing).value("error", ""), "没有这个请求");
    EXPECT_EQ(Status(client.ReadReply(10s)), 200);

    std::string body = Form({{"id", "80002"}, {"name", "李老师"}, {"password", "pw"}});
    ASSERT_TRUE(client.Send("POST /plenvo/login HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                            "Content-Type: application/x-www-form-urlencoded\r\n"
                            "Content-Length: " +
                            std::to_string(body.size()) + "\r\n\r\n"));
    std::string interim = client.ReadReply(10s);
    EXPECT_EQ(interim, "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(client.Send(body));
    std::string reply = client.ReadReply(10s);
    EXPECT_EQ(Status(reply), 200);
    EXPECT_EQ(Body(reply).value("ok", false), true);
    EXPECT_FALSE(client.ClosedByService(0ms));
}
