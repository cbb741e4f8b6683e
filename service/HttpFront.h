#pragma once

#include "MemoryStream.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace PlenvoService {

// How long and how many: what a slow, idle or greedy client may hold of the service.
struct ConnectionLimits {
    size_t maxConnections = 1000; // open connections in all (lowered to the process's file limit)
    size_t maxPerAddress = 64;    // from one client address (a school may sit behind one)
    size_t maxHeadBytes = 64 * 1024;      // request line and headers
    size_t maxBufferedBytes = 256u << 20; // requests being received, all connections together
    std::chrono::milliseconds headDeadline{10000}; // for the line and headers, from the first byte
    // For the whole request (line, headers and body) from its first byte: no trickle renews it.
    std::chrono::milliseconds requestDeadline{60000};
    std::chrono::milliseconds idleTimeout{5000};    // a kept-alive connection between requests
    std::chrono::milliseconds busyIdleTimeout{500}; // the same once half the connections are open
    std::chrono::milliseconds replyDeadline{60000}; // for the client to take a reply
    unsigned maxRequestsPerConnection = 1000;
};

// The connection side of the service: one thread waits on every socket (epoll), reads each
// request whole within its deadline and hands it to a pool of serving threads; their replies
// are written back by the same thread. Slow or idle clients cost a socket and a buffer, never
// a serving thread.
class HttpFront {
public:
    struct Exchange {
        std::string request; // line, headers and body, exactly as received
        MemoryStream::Peer remote, local;
        bool continueSent = false;
        bool last = false; // the connection closes after this reply
    };
    struct Answer {
        std::string reply;
        bool close = false;
    };
    // Runs on a serving thread.
    using Serve = std::function<Answer(Exchange&)>;

    HttpFront(ConnectionLimits limits, size_t maxBodyBytes, int threads, Serve serve);
    ~HttpFront();
    HttpFront(const HttpFront&) = delete;
    HttpFront& operator=(const HttpFront&) = delete;

    // Binds and listens; port 0 takes a free one. Returns the port, or -1.
    int Bind(const std::string& host, int port);
    // Serves until Stop; returns false when there is no listening socket.
    bool Run();
    bool IsRunning() const { return running_; }
    void Stop();

private:
    using Clock = std::chrono::steady_clock;
    struct Connection;
    struct Done {
        uint64_t id;
        Answer answer;
    };

    void Accept(Clock::time_point now);
    void Admit(int fd, Clock::time_point now);
    void OnEvent(Connection& c, uint32_t events, Clock::time_point now);
    void Receive(Connection& c, Clock::time_point now);
    void Frame(Connection& c, Clock::time_point now);
    void Deliver(Connection& c, Answer answer, Clock::time_point now);
    void Send(Connection& c, Clock::time_point now);
    void Watch(Connection& c, uint32_t events);
    void Sweep(Clock::time_point now);
    // Closes the longest idle kept-alive connection (of one address, or of all when empty).
    bool CloseIdlest(const std::string& address);
    // A short reply of the service's own, written once without waiting, then the socket closes.
    void Reject(int fd, int status, const std::string& error);
    // The same for a connection the service holds; the connection is gone afterwards.
    void Refuse(Connection& c, int status, const std::string& error);
    void Close(uint64_t id);
    // Never buffer more than one largest request and the start of a next one.
    size_t ReceiveCap() const { return limits_.maxHeadBytes + maxBodyBytes_ + 64 * 1024; }
    void TakeDone(Clock::time_point now);

    ConnectionLimits limits_;
    size_t maxBodyBytes_;
    int threads_;
    Serve serve_;
    int listen_ = -1;
    int epoll_ = -1;
    int wake_ = -1; // eventfd: replies are ready, or Stop was called
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    bool acceptPaused_ = false;
    size_t buffered_ = 0; // bytes of requests received and not yet handed on
    uint64_t nextId_ = 2; // 0 and 1 tag the listening socket and the wake-up
    std::unique_ptr<httplib::TaskQueue> pool_;
    std::unordered_map<uint64_t, std::unique_ptr<Connection>> connections_;
    std::unordered_map<std::string, size_t> perAddress_;
    std::mutex doneMutex_;
    std::vector<Done> done_;
};

} // namespace PlenvoService
