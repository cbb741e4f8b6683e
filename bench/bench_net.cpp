// links: plenvo_net cpp-httplib
// Throughput of small GETs on loopback through the HTTP layer (requests built on this thread,
// performed on the worker, completions delivered back through this thread's queue) against the
// same GETs through a bare curl multi loop on one thread; and the wake-ups of an idle worker.
#include "net/SimpleCurlAsync.h"
#include "net/Worker.h"
#include "platform/MessageQueue.h"
#include "platform/Messaging.h"

// Debian builds its cpp-httplib library with these; the header must agree with it.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_ZLIB_SUPPORT
#define CPPHTTPLIB_BROTLI_SUPPORT
#include <httplib.h>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <functional>
#include <memory>
#include <thread>
#include <unordered_map>

namespace {

constexpr int kRequests = 1000;

class LoopbackServer {
public:
    LoopbackServer() {
        server_.Get("/plenvo/gethistory", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"ok":true,"lps":[]})", "application/json");
        });
        server_.set_tcp_nodelay(true);
        // Connections stay open across requests, as between the client and its service; the
        // windows below stay within the server's thread pool so none waits for a thread.
        server_.set_keep_alive_max_count(100000);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LoopbackServer() {
        server_.stop();
        thread_.join();
    }
    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/plenvo/gethistory";
    }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

LoopbackServer& Server() {
    static LoopbackServer server;
    return server;
}

// The argument is the number of requests in flight at once.
void BM_LayerGets(benchmark::State& state) {
    SimpleCurl::StartWorker();
    const int window = static_cast<int>(state.range(0));
    const std::string url = Server().Url();
    for (auto _ : state) {
        int started = 0;
        int done = 0;
        size_t bytes = 0;
        std::function<void()> launch = [&] {
            ++started;
            std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, nullptr)
                ->Get(url, [&](SimpleCurl::response& reply) {
                    ++done;
                    bytes += reply.body.size();
                    if (started < kRequests) {
                        launch();
                    }
                });
        };
        for (int i = 0; i < window; ++i) {
            launch();
        }
        platform::MSG msg;
        while (done < kRequests && platform::GetMessage(msg)) {
            platform::DispatchMessage(msg);
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["requests/s"] = benchmark::Counter(
        double(kRequests) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LayerGets)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

size_t Append(char* data, size_t size, size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

void BM_BareMultiGets(benchmark::State& state) {
    const std::string url = Server().Url();
    const int window = static_cast<int>(state.range(0));
    std::unordered_map<CURL*, std::string> bodies;
    CURLM* multi = curl_multi_init();
    for (auto _ : state) {
        int started = 0;
        int done = 0;
        size_t bytes = 0;
        auto launch = [&] {
            ++started;
            CURL* easy = curl_easy_init();
            // The same request on the wire as the layer's: any encoding, one-minute limit.
            curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
            curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Append);
            curl_easy_setopt(easy, CURLOPT_WRITEDATA, &bodies[easy]);
            curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "*");
            curl_easy_setopt(easy, CURLOPT_TIMEOUT, 60L);
            curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
            curl_multi_add_handle(multi, easy);
        };
        for (int i = 0; i < window; ++i) {
            launch();
        }
        while (done < kRequests) {
            int running = 0;
            curl_multi_perform(multi, &running);
            int left = 0;
            while (CURLMsg* m = curl_multi_info_read(multi, &left)) {
                if (m->msg != CURLMSG_DONE) {
                    continue;
                }
                CURL* easy = m->easy_handle;
                bytes += bodies[easy].size();
                bodies.erase(easy);
                curl_multi_remove_handle(multi, easy);
                curl_easy_cleanup(easy);
                ++done;
                if (started < kRequests) {
                    launch();
                }
            }
            if (done < kRequests) {
                curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
            }
        }
        benchmark::DoNotOptimize(bytes);
    }
    curl_multi_cleanup(multi);
    state.counters["requests/s"] = benchmark::Counter(
        double(kRequests) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareMultiGets)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IdleWorkerWakeUps(benchmark::State& state) {
    SimpleCurl::StartWorker();
    std::uint64_t wakeUps = 0;
    for (auto _ : state) {
        const auto before = SimpleCurl::WorkerWakeUps();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        wakeUps += SimpleCurl::WorkerWakeUps() - before;
    }
    state.counters["wakeups/s"] = benchmark::Counter(double(wakeUps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IdleWorkerWakeUps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    SimpleCurl::StopWorker(5000);
    benchmark::Shutdown();
    return 0;
}
