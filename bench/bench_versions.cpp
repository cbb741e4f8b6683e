// links: plenvo_plan plenvo_service_core
// Saved versions: writing one version of a 300-cell plan to disk (flushed, renamed, folder
// flushed), as the close and the autosave do; and one upload pass over 100 pending versions
// against the reference service on loopback (signed in, plans of that teacher, every version
// stored in its database), until every file is gone.
#include "LessonPlanService.h"
#include "Store.h"
#include "net/ServiceEndpoints.h"
#include "net/Session.h"
#include "net/SimpleCurlAsync.h"
#include "net/Worker.h"
#include "plan/Uploader.h"
#include "plan/VersionFolder.h"
#include "platform/MessageQueue.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// Serves this thread's messages until the condition holds or 60 s have passed.
bool ServeUntil(const std::function<bool()>& done) {
    auto queue = platform::MessageQueue::Current();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        queue->WaitForMessage(1000);
        platform::MSG msg;
        while (platform::PeekMessage(msg, true)) {
            platform::DispatchMessage(msg);
        }
    }
    return true;
}

void BM_UploadPass100Versions(benchmark::State& state) {
    const std::string data = MakeFolder();
    PlenvoService::Store store(data + "/db", 1000);
    PlenvoService::ServiceOptions options;
    options.dataFolder = data;
    // PLENVO_BENCH_LOG: the service's request lines on stderr.
    if (std::getenv("PLENVO_BENCH_LOG")) {
        options.log = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    }
    PlenvoService::LessonPlanService service(store, options);
    const int port = service.Bind("127.0.0.1", 0);
    std::thread thread([&] { service.Run(); });
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/plenvo/";
    SimpleCurl::StartWorker();
    auto session = std::make_shared<SimpleCurl::CSession>();
    bool signedIn = false;
    if (port > 0 && service.WaitUntilRunning()) {
        auto login = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session);
        bool done = false;
        login->Post(CServiceEndpoints(base).Login(),
                    CServiceEndpoints::LoginForm("20260001", "王老师", "secret"),
                    [&](SimpleCurl::response& r) {
                        done = true;
                        signedIn = r.status == 200;
                    });
        ServeUntil([&] { return done; });
    }
    const std::string path = MakeFolder();
    if (!signedIn) {
        state.SkipWithError("the reference service did not sign the teacher in");
    } else {
        std::vector<std::string> ids;
        std::vector<nlohmann::json> plans;
        for (int plan = 1; plan <= 100; ++plan) {
            ids.push_back(std::to_string(
                store.CreatePlan("20260001", "第" + std::to_string(plan) + "课", 1, 10, 1)));
            plans.push_back(PlanFields(ids.back(), 30));
        }
        auto folder = std::make_shared<CVersionFolder>(path);
        auto uploader = std::make_shared<CUploader>(folder, base, session, &platform::GetTickCount);
        for (auto _ : state) {
            state.PauseTiming();
            for (std::size_t i = 0; i < ids.size(); ++i) {
                folder->Save(ids[i], plans[i]);
            }
            state.ResumeTiming();
            uploader->Pass();
            if (!ServeUntil([&] { return uploader->InFlight() == 0; })) {
                state.SkipWithError("the uploads did not complete within 60 s");
                break;
            }
            state.PauseTiming();
            const bool left = !std::filesystem::is_empty(path);
            state.ResumeTiming();
            if (left) {
                state.SkipWithError("the service refused versions: they are still in the folder");
                break;
            }
        }
        state.SetItemsProcessed(state.iterations() * 100);
        if (store.VersionCount(std::stoll(ids.back())) == 0) {
            state.SkipWithError("the service stored no version");
        }
    }
    SimpleCurl::StopWorker(5000);
    service.Stop();
    thread.join();
    std::filesystem::remove_all(path);
    std::filesystem::remove_all(data);
}
BENCHMARK(BM_UploadPass100Versions)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
