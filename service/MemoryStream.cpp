#include "MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace PlenvoService {

MemoryStream::MemoryStream(std::string request, Peer remote, Peer local, bool continueSent)
    : request_(std::move(request)), remote_(std::move(remote)), local_(std::move(local)),
      dropContinue_(continueSent) {}

ssize_t MemoryStream::read(char* ptr, size_t size) {
    size_t count = std::min(size, request_.size() - read_);
    std::memcpy(ptr, request_.data() + read_, count);
    read_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t MemoryStream::write(const char* ptr, size_t size) {
    // The library answers "Expect: 100-continue" with an interim status line of its own; the
    // client has had one already.
    constexpr std::string_view kContinue = "HTTP/1.1 100 ";
    if (dropContinue_ && reply_.empty() && size >= kContinue.size() &&
        std::string_view(ptr, kContinue.size()) == kContinue) {
        dropContinue_ = false;
        return static_cast<ssize_t>(size);
    }
    dropContinue_ = false;
    reply_.append(ptr, size);
    return static_cast<ssize_t>(size);
}

void MemoryStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = remote_.address;
    port = remote_.port;
}

void MemoryStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = local_.address;
    port = local_.port;
}

} // namespace PlenvoService
