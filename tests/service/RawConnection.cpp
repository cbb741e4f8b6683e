#include "RawConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace PlenvoServiceTest {

RawConnection::RawConnection(int port, const std::string& from, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    // Before connecting, so that the window offered to the service is small from the start.
    if (receiveBuffer > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawConnection::~RawConnection() {
    if (fd_ >= 0)
        ::close(fd_);
}

RawConnection::RawConnection(RawConnection&& other) noexcept
    : fd_(other.fd_), received_(std::move(other.received_)), consumed_(other.consumed_),
      ended_(other.ended_) {
    other.fd_ = -1;
}

bool RawConnection::Send(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return fd_ >= 0;
}

bool RawConnection::Fill(std::chrono::milliseconds timeout) {
    if (fd_ < 0 || ended_)
        return false;
    pollfd waiting{fd_, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0)
        return true;
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
        received_.append(buffer, static_cast<size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    ended_ = true;
    return false;
}

std::string RawConnection::ReadReply(std::chrono::milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::string_view rest = std::string_view(received_).substr(consumed_);
        size_t headEnd = rest.find("\r\n\r\n");
        if (headEnd != std::string_view::npos) {
            std::string_view head = rest.substr(0, headEnd);
            size_t length = 0;
            if (size_t at = head.find("Content-Length: "); at != std::string_view::npos)
                length = std::strtoul(std::string(head.substr(at + 16, 12)).c_str(), nullptr, 10);
            if (rest.size() >= headEnd + 4 + length) {
                std::string reply(rest.substr(0, headEnd + 4 + length));
                consumed_ += reply.size();
                return reply;
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Fill(left))
            return {};
    }
}

bool RawConnection::ClosedByService(std::chrono::milliseconds timeout) {
    auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (ended_ || fd_ < 0)
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        Fill(std::max(left, std::chrono::milliseconds(0)));
        if (ended_)
            return true;
        if (left.count() <= 0)
            return false;
    }
}

} // namespace PlenvoServiceTest
