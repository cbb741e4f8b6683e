// A server whose handler counts its calls without a lock, run by two clients at once. The
// thread-sanitizer build expects this race to be reported with the suppressions of tests/tsan.supp
// in force: they may hide what happens inside the uninstrumented HTTP library, never a race in
// a handler of our own.
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <thread>

int main() {
    httplib::Server server;
    int hits = 0;
    server.Get("/race", [&](const httplib::Request&, httplib::Response& response) {
        ++hits;
        response.set_content("ok", "text/plain");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 2;
    }
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Each client keeps its connection, so two of the server's threads run the handler.
    auto client = [port] {
        httplib::Client connection("127.0.0.1", port);
        for (int i = 0; i < 50; ++i) {
            connection.Get("/race");
        }
    };
    std::thread first(client);
    std::thread second(client);
    first.join();
    second.join();
    server.stop();
    serving.join();
    std::printf("%d calls\n", hits);
    return 0;
}
