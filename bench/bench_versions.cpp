// links: plenvo_plan cpp-httplib
// Saved versions: writing one version of a 300-cell plan to disk (flushed, renamed, folder
// flushed), as the close and the autosave do; and one upload pass over 100 pending versions
// against a loopback service that accepts them, until every file is gone.
#include "net/Worker.h"
#include "plan/Uploader.h"
#include "plan/VersionFolder.h"
#include "platform/MessageQueue.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

// Debian builds its cpp-httplib library with these; the header must agree with it.
#define CPPHTTPLIB_OPENSSL_SUPPORT
#define CPPHTTPLIB_ZLIB_SUPPORT
#define CPPHTTPLIB_BROTLI_SUPPORT
#include <httplib.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

using namespace Plenvo;

// A plan of 300 editable cells, each a short paragraph of RTF as the editor writes it.
nlohmann::json PlanFields(const std::string& id, int cells) {
    nlohmann::json fields = {
        {"id", id}, {"lessiontitle", "荷塘月色"}, {"grade", "10"}, {"subject", "1"}};
    for (int i = 0; i < cells; ++i) {
        fields["template.teachproc." + std::to_string(i) + ".step"] =
            "__RTF__{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 "
            "\\'cb\\'ce\\'cc\\'e5;}}\\f0\\fs24 \\u23398?\\u29983?\\u38405?\\u35835?\\u35838?"
            "\\u25991?\\uff0c\\u25214?\\u20986?\\u20851?\\u38190?\\u21477?\\u12290? step " +
            std::to_string(i) + "\\par}";
    }
    return fields;
}

std::string MakeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "plenvo-bench-XXXXXX");
    return ::mkdtemp(pattern.data());
}

void BM_SaveVersion300Cells(benchmark::State& state) {
    const std::string path = MakeFolder();
    CVersionFolder folder(path);
    const nlohmann::json fields = PlanFields("42", 300);
    for (auto _ : state) {
        const auto result = folder.Save("42", fields);
        if (!result.ok) {
            state.SkipWithError("the version was not written");
            break;
        }
        state.PauseTiming();
        std::filesystem::remove(result.path);
        state.ResumeTiming();
    }
    std::filesystem::remove_all(path);
}
BENCHMARK(BM_SaveVersion300Cells)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadPass100Versions(benchmark::State& state) {
    httplib::Server server;
    server.Post("/plenvo/event/save", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"ok":true})", "application/json");
    });
    server.set_keep_alive_max_count(100000);
    server.set_payload_max_length(64 * 1024 * 1024);
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    SimpleCurl::StartWorker();
    const std::string path = MakeFolder();
    auto folder = std::make_shared<CVersionFolder>(path);
    auto uploader =
        std::make_shared<CUploader>(folder, "http://127.0.0.1:" + std::to_string(port) + "/plenvo/",
                                    nullptr, &platform::GetTickCount);
    std::vector<nlohmann::json> plans;
    for (int plan = 1; plan <= 100; ++plan) {
        plans.push_back(PlanFields(std::to_string(plan), 30));
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (int plan = 1; plan <= 100; ++plan) {
            folder->Save(std::to_string(plan), plans[static_cast<std::size_t>(plan - 1)]);
        }
        state.ResumeTiming();
        uploader->Pass();
        auto queue = platform::MessageQueue::Current();
        while (uploader->InFlight() > 0) {
            queue->WaitForMessage(1000);
            platform::MSG msg;
            while (platform::PeekMessage(msg, true)) {
                platform::DispatchMessage(msg);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * 100);
    SimpleCurl::StopWorker(5000);
    server.stop();
    thread.join();
    std::filesystem::remove_all(path);
}
BENCHMARK(BM_UploadPass100Versions)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
