#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace PlenvoServiceTest {

// A plain TCP connection to the service from a chosen loopback address, for clients that
// behave as no HTTP library would: trickling, stalling, not reading, pipelining.
class RawConnection {
public:
    // `receiveBuffer`: when above 0, the socket's receive buffer, made small so that a client
    // that does not read fills it soon.
    RawConnection(int port, const std::string& from = "127.0.0.1", int receiveBuffer = 0);
    ~RawConnection();
    RawConnection(RawConnection&& other) noexcept;
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const { return fd_ >= 0; }
    // False when the service has closed or reset the connection.
    bool Send(std::string_view bytes);
    // One reply (head and Content-Length body), waiting at most `timeout`; empty when none came.
    std::string ReadReply(std::chrono::milliseconds timeout);
    // Whether the service has closed its side, reading (and keeping) what it sent before.
    bool ClosedByService(std::chrono::milliseconds timeout);
    const std::string& Received() const { return received_; }

private:
    // Reads what is there within `timeout`; false on end of stream or error.
    bool Fill(std::chrono::milliseconds timeout);

    int fd_ = -1;
    std::string received_;
    size_t consumed_ = 0;
    bool ended_ = false;
};

} // namespace PlenvoServiceTest
