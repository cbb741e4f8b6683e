#pragma once

#include <httplib.h>

#include <string>

namespace PlenvoService {

// One whole request already received, handed to the HTTP library as its stream; the reply it
// writes is collected and sent by the connection loop, so a serving thread never waits on a
// client's network.
class MemoryStream : public httplib::Stream {
public:
    struct Peer {
        std::string address;
        int port = 0;
    };
    // `continueSent`: the loop has already answered "Expect: 100-continue" itself.
    MemoryStream(std::string request, Peer remote, Peer local, bool continueSent);

    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return INVALID_SOCKET; }

    std::string TakeReply() { return std::move(reply_); }

private:
    std::string request_;
    size_t read_ = 0;
    Peer remote_, local_;
    bool dropContinue_;
    std::string reply_;
};

} // namespace PlenvoService
