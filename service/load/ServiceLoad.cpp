// plenvo-service-load: many teachers at once against the service on loopback. Each simulated
// client signs in, creates a plan, then saves (deflate, as the client does) and reopens it in
// a loop, with a history refresh and a fresh sign-in now and then. At the end every plan must
// show its client's last accepted save and hold exactly the versions that were accepted.
#include "CommandLine.h"
#include "Crypto.h"
#include "LessonPlanService.h"
#include "Store.h"

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {
struct Options {
    int clients = 20;
    double seconds = 30;
    long maxRequests = 5'000'000;
    std::string db;
    int signInBurst = 0; // when set: only a class signing in at once, at the real work factor
};

std::string Encode(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text)
        if (std::isalnum(c))
            out += static_cast<char>(c);
        else
            out += {'%', digits[c >> 4], digits[c & 15]};
    return out;
}

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(data.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), data.size());
    out.resize(size);
    return out;
}

// A plan's worth of cells, about the size a filled-in plan has: RTF with \u escapes.
std::string SaveBody(int client, int iteration, std::string& marker) {
    marker = "client" + std::to_string(client) + "-save" + std::to_string(iteration);
    std::string body;
    const char* parts[] = {"stage", "teacher", "student", "intent"};
    for (int line = 1; line <= 4; ++line)
        for (const char* part : parts) {
            std::string value = "__RTF__{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0 SimSun;}}\\f0 ";
            for (int k = 0; k < 40; ++k)
                value += "\\u25945?\\u23398?";
            value += " " + marker + "\\par}";
            body += (body.empty() ? "" : "&") + std::string("template.teachproc.") +
                    std::to_string(line) + "." + part + "=" + Encode(value);
        }
    body += "&template.keypoints.value=" + Encode("__RTF__{\\rtf1 " + marker + "}");
    return body;
}

struct Samples {
    std::mutex mutex;
    std::map<std::string, std::vector<double>> latencies; // endpoint -> milliseconds
    std::atomic<long> requests{0};
    std::atomic<long> errors{0};
    std::vector<std::string> firstErrors;
    void Fail(const std::string& what) {
        ++errors;
        std::lock_guard lock(mutex);
        if (firstErrors.size() < 5)
            firstErrors.push_back(what);
    }
    void Add(const std::string& endpoint, double ms) {
        std::lock_guard lock(mutex);
        latencies[endpoint].push_back(ms);
    }
};

struct ClientResult {
    int64_t plan = 0;
    std::string lastMarker;
    long accepted = 0;
    std::string cookie;
};

double Percentile(std::vector<double>& values, double p) {
    if (values.empty())
        return 0;
    size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    std::nth_element(values.begin(), values.begin() + static_cast<long>(index), values.end());
    return values[index];
}
// A class of teachers signing in at the same moment (8:00), with the password work factor the
// service runs with: first as new teachers (registration), then again as known ones.
int SignInBurst(int teachers, const std::filesystem::path& folder) {
    const int iterations = PlenvoService::CommandLine().passwordIterations;
    // Processor time, which a busy machine does not inflate as it does the wall clock.
    auto cpuMs = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    };
    const int hashes = 10;
    double started = cpuMs();
    for (int i = 0; i < hashes; ++i)
        PlenvoService::HashPassword("password", iterations);
    double hashMs = (cpuMs() - started) / hashes;
    unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("one password hash (pbkdf2-sha256, %d iterations): %.1f ms of processor time; "
                "%d sign-ins need %.2f s of it, %.2f s on %u cores\n",
                iterations, hashMs, teachers, hashMs * teachers / 1000,
                hashMs * teachers / 1000 / cores, cores);

    PlenvoService::Store store((folder / "burst.db").string(), iterations);
    PlenvoService::ServiceOptions serviceOptions;
    serviceOptions.dataFolder = (folder / "data").string();
    PlenvoService::LessonPlanService service(store, serviceOptions);
    int port = service.Bind("127.0.0.1", 0);
    std::thread server([&] { service.Run(); });
    service.WaitUntilRunning();
    int failures = 0;
    for (const char* round : {"first sign-in", "sign-in"}) {
        std::vector<double> latencies(static_cast<size_t>(teachers));
        std::vector<int> ok(static_cast<size_t>(teachers));
        auto start = Clock::now();
        std::vector<std::thread> threads;
        for (int i = 0; i < teachers; ++i)
            threads.emplace_back([&, i] {
                httplib::Client client("127.0.0.1", port);
                client.set_read_timeout(60, 0); // as long as the client waits
                auto r =
                    client.Post("/plenvo/login",
                                "id=" + std::to_string(800000 + i) + "&name=" + Encode("早读老师") +
                                    "&password=class" + std::to_string(i),
                                "application/x-www-form-urlencoded");
                ok[static_cast<size_t>(i)] =
                    r && r->status == 200 &&
                    json::parse(r->body, nullptr, false).value("ok", false);
                latencies[static_cast<size_t>(i)] =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            });
        for (auto& thread : threads)
            thread.join();
        double all = *std::max_element(latencies.begin(), latencies.end());
        int served = static_cast<int>(std::count(ok.begin(), ok.end(), 1));
        failures += teachers - served;
        std::printf("%d teachers, %s at once: %d signed in, the last after %.0f ms, the median "
                    "after %.0f ms\n",
                    teachers, round, served, all, Percentile(latencies, 0.5));
    }
    service.Stop();
    server.join();
    return failures == 0 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        if (key == "--clients")
            options.clients = std::max(1, std::atoi(argv[i + 1]));
        else if (key == "--seconds")
            options.seconds = std::max(1.0, std::atof(argv[i + 1]));
        else if (key == "--max-requests")
            options.maxRequests = std::max(1L, std::atol(argv[i + 1]));
        else if (key == "--db")
            options.db = argv[i + 1];
        else if (key == "--sign-in-burst")
            options.signInBurst = std::max(1, std::atoi(argv[i + 1]));
    }
    auto folder = std::filesystem::temp_directory_path() /
                  ("plenvo-service-load-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    if (options.signInBurst) {
        int result = SignInBurst(options.signInBurst, folder);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return result;
    }
    if (options.db.empty())
        options.db = (folder / "load.db").string();

    PlenvoService::Store store(options.db, 10000);
    PlenvoService::ServiceOptions serviceOptions;
    serviceOptions.dataFolder = (folder / "data").string();
    serviceOptions.threads = options.clients + 8;
    std::mutex logMutex;
    if (std::getenv("PLENVO_LOAD_LOG"))
        serviceOptions.log = [&logMutex](const std::string& line) {
            std::lock_guard lock(logMutex);
            std::fprintf(stderr, "%s\n", line.c_str());
        };
    PlenvoService::LessonPlanService service(store, serviceOptions);
    int port = service.Bind("127.0.0.1", 0);
    std::thread server([&] { service.Run(); });
    service.WaitUntilRunning();

    Samples samples;
    std::vector<ClientResult> results(static_cast<size_t>(options.clients));
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<long>(options.seconds * 1000));
    auto timed = [&](const char* endpoint, auto&& call) {
        auto start = Clock::now();
        auto result = call();
        samples.Add(endpoint,
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        ++samples.requests;
        return result;
    };
    auto worker = [&](int index) {
        ClientResult& mine = results[static_cast<size_t>(index)];
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        const std::string number = "9" + std::to_string(100000 + index);
        auto login = [&] {
            auto r = timed("login", [&] {
                return client.Post("/plenvo/login",
                                   "id=" + number + "&name=" + Encode("压测老师") +
                                       "&password=load" + std::to_string(index),
                                   "application/x-www-form-urlencoded");
            });
            if (!r || r->status != 200 ||
                !json::parse(r->body, nullptr, false).value("ok", false)) {
                samples.Fail("login: " + (r ? std::to_string(r->status) + " " + r->body
                                            : httplib::to_string(r.error())));
                return false;
            }
            std::string cookie = r->get_header_value("Set-Cookie");
            mine.cookie = cookie.substr(0, cookie.find(';'));
            return true;
        };
        auto get = [&](const char* endpoint, const std::string& path) {
            auto r = timed(endpoint, [&] {
                return client.Get(path.c_str(), {{"Cookie", mine.cookie}});
            });
            json reply = r && r->status == 200 ? json::parse(r->body, nullptr, false) : json();
            if (!reply.is_object() || !reply.value("ok", false))
                samples.Fail(std::string(endpoint) + ": " +
                             (r ? std::to_string(r->status) + " " + r->body.substr(0, 200)
                                : httplib::to_string(r.error())));
            return reply;
        };
        if (!login())
            return;
        json created = get("createlp", "/plenvo/createlp?lt=1&grade=3&subject=2&lessiontitle=" +
                                           Encode("压测教案" + std::to_string(index)));
        mine.plan = created.is_object() ? created["lpdata"].value("id", int64_t{0}) : 0;
        if (!mine.plan)
            return;
        for (uint32_t iteration = 1;
             Clock::now() < deadline && samples.requests < options.maxRequests; ++iteration) {
            std::string marker;
            std::string body = Deflate(SaveBody(index, static_cast<int>(iteration), marker));
            auto r = timed("event/save", [&] {
                return client.Post(("/plenvo/event/save?id=" + std::to_string(mine.plan) +
                                    "&t=" + std::to_string(iteration) + ".0.1")
                                       .c_str(),
                                   {{"Cookie", mine.cookie}, {"Content-Encoding", "deflate"}}, body,
                                   "application/x-www-form-urlencoded");
            });
            if (r && r->status == 200 && json::parse(r->body, nullptr, false).value("ok", false)) {
                mine.lastMarker = marker;
                ++mine.accepted;
            } else {
                samples.Fail("event/save: " + (r ? std::to_string(r->status) + " " + r->body
                                                 : httplib::to_string(r.error())));
            }
            json opened = get("openlp", "/plenvo/openlp?id=" + std::to_string(mine.plan));
            if (opened.is_object() &&
                opened.dump().find(mine.lastMarker + "\\\\par}") == std::string::npos)
                samples.Fail("openlp does not show the save just accepted");
            if (iteration % 10 == 0) {
                get("gethistory", "/plenvo/gethistory");
                login();
            }
        }
    };
    auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int i = 0; i < options.clients; ++i)
        threads.emplace_back(worker, i);
    for (auto& thread : threads)
        thread.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - started).count();

    // No save lost: each plan shows its last accepted save and keeps every accepted version.
    long lost = 0;
    for (auto& result : results) {
        if (!result.plan) {
            ++lost;
            continue;
        }
        auto values = store.NewestValues(result.plan);
        if (values["template.keypoints.value"] != "__RTF__{\\rtf1 " + result.lastMarker + "}" ||
            store.VersionCount(result.plan) != static_cast<size_t>(result.accepted))
            ++lost;
    }
    service.Stop();
    server.join();

    std::printf("clients %d, %.1f s, %ld requests, %.0f requests/s, %ld errors, %ld plans with a "
                "lost save\n",
                options.clients, elapsed, samples.requests.load(),
                static_cast<double>(samples.requests.load()) / elapsed, samples.errors.load(),
                lost);
    for (const auto& error : samples.firstErrors)
        std::printf("error: %s\n", error.c_str());
    std::printf("%-12s %9s %9s %9s %9s %9s\n", "endpoint", "count", "p50 ms", "p90 ms", "p99 ms",
                "max ms");
    std::vector<double> all;
    for (auto& [endpoint, values] : samples.latencies) {
        all.insert(all.end(), values.begin(), values.end());
        size_t count = values.size();
        double p50 = Percentile(values, 0.5), p90 = Percentile(values, 0.9),
               p99 = Percentile(values, 0.99),
               max = *std::max_element(values.begin(), values.end());
        std::printf("%-12s %9zu %9.2f %9.2f %9.2f %9.2f\n", endpoint.c_str(), count, p50, p90, p99,
                    max);
    }
    size_t count = all.size();
    double p50 = Percentile(all, 0.5), p90 = Percentile(all, 0.9), p99 = Percentile(all, 0.99),
           max = all.empty() ? 0 : *std::max_element(all.begin(), all.end());
    std::printf("%-12s %9zu %9.2f %9.2f %9.2f %9.2f\n", "all", count, p50, p90, p99, max);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return samples.errors == 0 && lost == 0 ? 0 : 1;
}
