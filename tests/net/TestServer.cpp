#include "TestServer.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace nettest {

std::string SeenRequest::Header(const std::string& key) const {
    auto it = headers.find(key);
    return it == headers.end() ? std::string() : it->second;
}

TestServer::TestServer() {
    server_.set_payload_max_length(64u << 20);
    // One request per connection: an idle kept-alive connection would hold stop() for seconds.
    server_.set_keep_alive_max_count(1);
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("test server could not bind");
    }
}

TestServer::~TestServer() {
    server_.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TestServer::ExpectNotStarted(const std::string& path) const {
    // The server's threads read the routes without a lock: a route added later races with them.
    EXPECT_FALSE(thread_.joinable()) << "route " << path << " added after the server started";
}

TestServer::Handler TestServer::Recording(Handler handler) {
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
        SeenRequest seen{
            request.method, request.target, request.path, request.headers, request.body, {}, {}};
        if (request.has_file("file")) {
            const auto file = request.get_file_value("file");
            seen.fileName = file.filename;
            seen.fileContent = file.content;
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(seen));
        }
        handler(request, response);
    };
}

void TestServer::Get(const std::string& path, Handler handler) {
    ExpectNotStarted(path);
    server_.Get("/plenvo/" + path, Recording(std::move(handler)));
}

void TestServer::Post(const std::string& path, Handler handler) {
    ExpectNotStarted(path);
    server_.Post("/plenvo/" + path, Recording(std::move(handler)));
}

void TestServer::Start() {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // The socket already listens; this only waits for the accept loop.
    while (!server_.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string TestServer::Base() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/plenvo/";
}

std::vector<SeenRequest> TestServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

size_t TestServer::Count(std::string_view path) const {
    std::lock_guard lock(mutex_);
    size_t count = 0;
    for (const auto& seen : requests_) {
        count += seen.path == "/plenvo/" + std::string(path);
    }
    return count;
}

void TestServer::BreakTransfer(httplib::Response& response) {
    response.set_chunked_content_provider("text/plain",
                                          [](size_t, httplib::DataSink&) { return false; });
}

int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace nettest
