#include "HttpFront.h"

#include "RequestFraming.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace PlenvoService {

namespace {
constexpr uint64_t kListenTag = 0;
constexpr uint64_t kWakeTag = 1;
constexpr auto kSweepInterval = std::chrono::milliseconds(50);

MemoryStream::Peer PeerOf(const sockaddr_storage& address) {
    MemoryStream::Peer peer;
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        peer.port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        peer.port = ntohs(v6.sin6_port);
    }
    peer.address = text;
    return peer;
}

std::string ErrorReply(int status, const char* reason, const std::string& error) {
    std::string body = "{\"error\":\"" + error + "\",\"ok\":false}";
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nConnection: close\r\nContent-Type: application/json; charset=utf-8\r\n"
           "Content-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Whether the reply's head asks for the connection to close.
bool ClosesConnection(const std::string& reply) {
    size_t end = reply.find("\r\n\r\n");
    std::string head = reply.substr(0, end);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return head.find("\r\nconnection: close\r\n") != std::string::npos ||
           head.ends_with("\r\nconnection: close");
}
} // namespace

struct HttpFront::Connection {
    enum class Phase { Idle, Receiving, Serving, Sending };
    uint64_t id = 0;
    int fd = -1;
    MemoryStream::Peer remote, local;
    Phase phase = Phase::Idle;
    std::string in, out;
    size_t sent = 0;
    Clock::time_point since; // idle, receiving or sending since
    bool headSeen = false, continueSent = false, closeAfter = false, peerGone = false;
    unsigned served = 0;
    uint32_t watched = 0;
};

HttpFront::HttpFront(ConnectionLimits limits, size_t maxBodyBytes, int threads, Serve serve)
    : limits_(limits), maxBodyBytes_(maxBodyBytes), threads_(threads > 0 ? threads : 1),
      serve_(std::move(serve)) {
    // Keep room below the process's file limit for the database, dumps and logs.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        limits_.maxConnections =
            std::min<size_t>(limits_.maxConnections,
                             files.rlim_cur > 128 ? static_cast<size_t>(files.rlim_cur) - 64 : 64);
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

HttpFront::~HttpFront() {
    for (int fd : {listen_, epoll_, wake_})
        if (fd >= 0)
            ::close(fd);
}

int HttpFront::Bind(const std::string& host, int port) {
    if (epoll_ < 0 || wake_ < 0 || listen_ >= 0)
        return -1;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    for (addrinfo* a = found; a && listen_ < 0; a = a->ai_next) {
        int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        // A burst of sign-ins (a class at 8:00) must not overflow the queue of new connections.
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0)
            listen_ = fd;
        else
            ::close(fd);
    }
    freeaddrinfo(found);
    if (listen_ < 0)
        return -1;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&bound), &length);
    return PeerOf(bound).port;
}

bool HttpFront::Run() {
    if (listen_ < 0 || stopping_)
        return false;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kListenTag;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_, &event);
    event.data.u64 = kWakeTag;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &event);
    pool_ = std::make_unique<httplib::ThreadPool>(static_cast<size_t>(threads_));
    auto lastSweep = Clock::now();
    running_ = true;
    std::vector<epoll_event> events(256);
    while (!stopping_) {
        int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()),
                               static_cast<int>(kSweepInterval.count()));
        auto now = Clock::now();
        for (int i = 0; i < count; ++i) {
            uint64_t tag = events[static_cast<size_t>(i)].data.u64;
            if (tag == kListenTag) {
                Accept(now);
            } else if (tag == kWakeTag) {
                uint64_t ignored;
                while (::read(wake_, &ignored, sizeof ignored) > 0) {
                }
                TakeDone(now);
            } else if (auto it = connections_.find(tag); it != connections_.end()) {
                OnEvent(*it->second, events[static_cast<size_t>(i)].events, now);
            }
        }
        if (now - lastSweep >= kSweepInterval) {
            Sweep(now);
            lastSweep = now;
        }
    }
    running_ = false;
    std::vector<uint64_t> ids;
    for (auto& [id, c] : connections_)
        ids.push_back(id);
    for (uint64_t id : ids)
        Close(id);
    // Serving threads still at work finish their request; their replies are dropped.
    pool_->shutdown();
    pool_.reset();
    return true;
}

void HttpFront::Stop() {
    stopping_ = true;
    uint64_t one = 1;
    if (wake_ >= 0) [[maybe_unused]]
        auto written = ::write(wake_, &one, sizeof one);
}

void HttpFront::Accept(Clock::time_point now) {
    for (;;) {
        int fd = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            Admit(fd, now);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors: make room from the idle, or stop accepting until the sweep.
            if (!CloseIdlest("")) {
                epoll_ctl(epoll_, EPOLL_CTL_DEL, listen_, nullptr);
                acceptPaused_ = true;
                return;
            }
            continue;
        }
        return; // EAGAIN: nothing more is waiting
    }
}

void HttpFront::Admit(int fd, Clock::time_point now) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length);
    MemoryStream::Peer remote = PeerOf(address);
    auto fromAddress = perAddress_.find(remote.address);
    if (fromAddress != perAddress_.end() && fromAddress->second >= limits_.maxPerAddress &&
        !CloseIdlest(remote.address))
        return Reject(fd, 503, "来自同一地址的连接过多，请稍后再试");
    if (connections_.size() >= limits_.maxConnections && !CloseIdlest(""))
        return Reject(fd, 503, "服务器繁忙，请稍后再试");
    auto c = std::make_unique<Connection>();
    c->id = nextId_++;
    c->fd = fd;
    c->remote = std::move(remote);
    length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    c->local = PeerOf(address);
    c->since = now;
    Connection& added = *c;
    connections_.emplace(c->id, std::move(c));
    ++perAddress_[added.remote.address];
    Watch(added, EPOLLIN | EPOLLRDHUP);
}

void HttpFront::Watch(Connection& c, uint32_t events) {
    if (c.watched == events)
        return;
    epoll_event event{};
    event.events = events;
    event.data.u64 = c.id;
    epoll_ctl(epoll_,
              c.watched == 0 && events != 0 ? EPOLL_CTL_ADD
              : events == 0                 ? EPOLL_CTL_DEL
                                            : EPOLL_CTL_MOD,
              c.fd, &event);
    c.watched = events;
}

void HttpFront::OnEvent(Connection& c, uint32_t events, Clock::time_point now) {
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
        if (c.phase == Connection::Phase::Idle || c.phase == Connection::Phase::Receiving)
            return Receive(c, now);
        // Serving or sending: a client that hung up gets no reply.
        if (events & (EPOLLHUP | EPOLLERR))
            return Close(c.id);
        if (events & (EPOLLIN | EPOLLRDHUP)) {
            // Bytes (a pipelined request) or the end of the client's side: read them later,
            // once this reply is out.
            c.peerGone = c.peerGone || (events & EPOLLRDHUP);
            Watch(c, c.phase == Connection::Phase::Sending ? uint32_t{EPOLLOUT} : 0u);
        }
    }
    if ((events & EPOLLOUT) && c.phase == Connection::Phase::Sending)
        Send(c, now);
}

void HttpFront::Receive(Connection& c, Clock::time_point now) {
    const size_t cap = ReceiveCap();
    char buffer[65536];
    bool gone = false;
    while (c.in.size() < cap) {
        ssize_t n = ::recv(c.fd, buffer, std::min(sizeof buffer, cap - c.in.size()), 0);
        if (n > 0) {
            c.in.append(buffer, static_cast<size_t>(n));
            buffered_ += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        gone = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (buffered_ > limits_.maxBufferedBytes && c.in.size() > limits_.maxHeadBytes) {
        // Many large uploads at a crawl would together hold memory without end; past the
        // budget, a connection in the middle of a body is let go.
        return Refuse(c, 503, "服务器繁忙，请稍后再试");
    }
    // Framing may refuse the request and close the connection.
    const uint64_t id = c.id;
    Frame(c, now);
    if (connections_.find(id) == connections_.end())
        return;
    if (gone) {
        // The client is done sending: a request taken whole still gets its reply.
        if (c.phase == Connection::Phase::Idle || c.phase == Connection::Phase::Receiving)
            return Close(c.id);
        c.peerGone = true;
        Watch(c, c.phase == Connection::Phase::Sending ? uint32_t{EPOLLOUT} : 0u);
    }
}

void HttpFront::Frame(Connection& c, Clock::time_point now) {
    if (c.phase != Connection::Phase::Idle && c.phase != Connection::Phase::Receiving)
        return;
    // Blank lines between requests are allowed and carry nothing.
    size_t blank = 0;
    while (blank < c.in.size() && (c.in[blank] == '\r' || c.in[blank] == '\n'))
        ++blank;
    c.in.erase(0, blank);
    buffered_ -= blank;
    if (c.in.empty())
        return;
    if (c.phase == Connection::Phase::Idle) {
        c.phase = Connection::Phase::Receiving;
        c.since = now;
        c.headSeen = false;
        c.continueSent = false;
    }
    RequestFrame frame = FrameRequest(c.in, limits_.maxHeadBytes, maxBodyBytes_);
    if (frame.state == RequestFrame::State::HeadTooLarge) {
        return Refuse(c, 431, "请求头过大");
    }
    c.headSeen = frame.headLength > 0;
    if (frame.state == RequestFrame::State::Incomplete && c.in.size() >= ReceiveCap()) {
        // Framing that outgrows every byte allowed (tiny chunks with long extensions) would
        // stop being read and wake the loop again and again until its deadline.
        return Refuse(c, 413, "请求数据过大");
    }
    if (frame.state == RequestFrame::State::Incomplete) {
        if (frame.expectsContinue && !c.continueSent) {
            // Answered here: the library would answer only once the whole body had arrived,
            // and the client waits for this before it sends the body.
            static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            if (::send(c.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT) ==
                static_cast<ssize_t>(sizeof kContinue - 1))
                c.continueSent = true;
        }
        return;
    }
    Exchange exchange;
    exchange.request = c.in.substr(0, frame.length);
    c.in.erase(0, frame.length);
    buffered_ -= frame.length;
    exchange.remote = c.remote;
    exchange.local = c.local;
    exchange.continueSent = c.continueSent;
    ++c.served;
    c.closeAfter = frame.bodyRefused || c.served >= limits_.maxRequestsPerConnection;
    exchange.last = c.closeAfter;
    c.phase = Connection::Phase::Serving;
    Watch(c, 0);
    uint64_t id = c.id;
    auto shared = std::make_shared<Exchange>(std::move(exchange));
    pool_->enqueue([this, id, shared] {
        Answer answer;
        try {
            answer = serve_(*shared);
        } catch (...) {
            answer = {ErrorReply(500, "Internal Server Error", "服务器内部错误，请稍后重试"), true};
        }
        {
            std::lock_guard lock(doneMutex_);
            done_.push_back({id, std::move(answer)});
        }
        uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
    });
}

void HttpFront::TakeDone(Clock::time_point now) {
    std::vector<Done> done;
    {
        std::lock_guard lock(doneMutex_);
        done.swap(done_);
    }
    for (auto& item : done)
        if (auto it = connections_.find(item.id); it != connections_.end())
            Deliver(*it->second, std::move(item.answer), now);
}

void HttpFront::Deliver(Connection& c, Answer answer, Clock::time_point now) {
    c.closeAfter = c.closeAfter || answer.close || ClosesConnection(answer.reply);
    c.out = std::move(answer.reply);
    c.sent = 0;
    c.phase = Connection::Phase::Sending;
    c.since = now;
    Send(c, now);
}

void HttpFront::Send(Connection& c, Clock::time_point now) {
    while (c.sent < c.out.size()) {
        ssize_t n =
            ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            c.sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Watch(c, EPOLLOUT);
        return Close(c.id);
    }
    if (c.closeAfter || c.peerGone)
        return Close(c.id);
    c.out.clear();
    c.out.shrink_to_fit();
    c.phase = Connection::Phase::Idle;
    c.since = now;
    Watch(c, EPOLLIN | EPOLLRDHUP);
    // A request that came while this one was served.
    Frame(c, now);
}

void HttpFront::Sweep(Clock::time_point now) {
    const bool busy = connections_.size() * 2 >= limits_.maxConnections;
    std::vector<uint64_t> expired, late;
    for (auto& [id, c] : connections_) {
        auto age = now - c->since;
        switch (c->phase) {
        case Connection::Phase::Idle:
            if (age >= (busy ? limits_.busyIdleTimeout : limits_.idleTimeout))
                expired.push_back(id);
            break;
        case Connection::Phase::Receiving:
            if (age >= limits_.requestDeadline || (!c->headSeen && age >= limits_.headDeadline))
                late.push_back(id);
            break;
        case Connection::Phase::Sending:
            if (age >= limits_.replyDeadline)
                expired.push_back(id);
            break;
        case Connection::Phase::Serving:
            break;
        }
    }
    for (uint64_t id : expired)
        Close(id);
    for (uint64_t id : late) {
        Refuse(*connections_[id], 408, "请求超时，请检查网络后重试");
    }
    if (acceptPaused_ && connections_.size() < limits_.maxConnections) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = kListenTag;
        if (epoll_ctl(epoll_, EPOLL_CTL_ADD, listen_, &event) == 0)
            acceptPaused_ = false;
    }
}

bool HttpFront::CloseIdlest(const std::string& address) {
    Connection* idlest = nullptr;
    for (auto& [id, c] : connections_)
        if (c->phase == Connection::Phase::Idle && c->in.empty() &&
            (address.empty() || c->remote.address == address) &&
            (!idlest || c->since < idlest->since))
            idlest = c.get();
    if (!idlest)
        return false;
    Close(idlest->id);
    return true;
}

void HttpFront::Reject(int fd, int status, const std::string& error) {
    const char* reason = status == 408   ? "Request Timeout"
                         : status == 413 ? "Payload Too Large"
                         : status == 431 ? "Request Header Fields Too Large"
                                         : "Service Unavailable";
    std::string reply = ErrorReply(status, reason, error);
    [[maybe_unused]] auto sent =
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    // Unread request bytes would turn the close into a reset that discards the reply.
    ::shutdown(fd, SHUT_WR);
    char drain[4096];
    while (::recv(fd, drain, sizeof drain, MSG_DONTWAIT) > 0) {
    }
    ::close(fd);
}

void HttpFront::Refuse(Connection& c, int status, const std::string& error) {
    int fd = c.fd;
    Watch(c, 0);
    c.fd = -1;
    Close(c.id);
    Reject(fd, status, error);
}

void HttpFront::Close(uint64_t id) {
    auto it = connections_.find(id);
    if (it == connections_.end())
        return;
    Connection& c = *it->second;
    if (c.fd >= 0) {
        Watch(c, 0);
        ::close(c.fd);
    }
    buffered_ -= c.in.size();
    if (auto count = perAddress_.find(c.remote.address); count != perAddress_.end())
        if (--count->second == 0)
            perAddress_.erase(count);
    connections_.erase(it);
}

} // namespace PlenvoService
