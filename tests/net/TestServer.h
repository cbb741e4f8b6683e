#pragma once
// A real HTTP server on 127.0.0.1 for the net tests: handlers are added before Start, and every
// request that reaches a handler is recorded as it arrived.
#include <httplib.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace nettest {

struct SeenRequest {
    std::string method;
    std::string target;
    std::string path;
    httplib::Headers headers;
    std::string body;
    std::string fileName;    // of the multipart part "file"
    std::string fileContent; // of the multipart part "file"

    std::string Header(const std::string& key) const;
};

class TestServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    TestServer();
    ~TestServer();

    // Paths are relative to the service base "/plenvo/".
    void Get(const std::string& path, Handler handler);
    void Post(const std::string& path, Handler handler);
    void Start();

    std::string Base() const;
    std::string Url(std::string_view path) const { return Base() + std::string(path); }
    std::vector<SeenRequest> Requests() const;
    size_t Count(std::string_view path) const;

    // Ends the response after its headers so that the client sees a broken transfer.
    static void BreakTransfer(httplib::Response& response);

private:
    Handler Recording(Handler handler);
    void ExpectNotStarted(const std::string& path) const;

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<SeenRequest> requests_;
};

// A loopback port with nothing listening on it.
int UnusedPort();

} // namespace nettest
