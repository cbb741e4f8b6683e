// The client's saving and uploading without its window, for the fault test that kills it:
// "edit" writes a saved version of one of the plans after every edit (through the same folder
// code as the plan's SaveVersion), journals each edit once its version is on disk, and runs the
// upload thread; "drain" only signs in and uploads until the folder holds no version, then ends
// through the exit event as the program does.
//
//   version_writer edit|drain FOLDER SERVICE_BASE TEACHER PLAN[,PLAN...] JOURNAL
#include "net/ServiceEndpoints.h"
#include "net/Session.h"
#include "net/SimpleCurlAsync.h"
#include "net/Worker.h"
#include "plan/Uploader.h"
#include "plan/VersionFolder.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Plenvo;

constexpr int kCells = 30;
// The upload thread's clock runs this much faster, so that passes come every 100 ms.
constexpr std::uint64_t kClockSpeed = 50;

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, ',');) {
        parts.push_back(part);
    }
    return parts;
}

// The highest edit number journaled so far (a torn last line does not count).
long LastEdit(const std::string& journal) {
    std::ifstream in(journal);
    long last = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (in.eof()) {
            break; // no line end: the program died while writing it
        }
        long plan = 0, edit = 0;
        if (std::sscanf(line.c_str(), "%ld %ld", &plan, &edit) == 2) {
            last = std::max(last, edit);
        }
    }
    return last;
}

nlohmann::json PlanVersion(const std::string& plan, long edit) {
    nlohmann::json fields = {
        {"id", plan}, {"lessiontitle", "故障测试"}, {"grade", "3"}, {"subject", "2"}};
    for (int cell = 0; cell < kCells; ++cell) {
        fields["cell" + std::to_string(cell)] =
            "__RTF__{\\rtf1\\ansi plan " + plan + " edit " + std::to_string(edit) + " cell " +
            std::to_string(cell) + " " + std::string(200, 'x') + "}";
    }
    return fields;
}

void ServeMessages() {
    platform::MSG msg;
    while (platform::PeekMessage(msg, true)) {
        platform::DispatchMessage(msg);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: version_writer edit|drain FOLDER BASE TEACHER PLANS JOURNAL\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string journal = argv[6];
    const std::vector<std::string> plans = Split(argv[5]);
    SimpleCurl::StartWorker();
    auto session = std::make_shared<SimpleCurl::CSession>();
    auto folder = std::make_shared<CVersionFolder>(argv[2]);
    const std::uint64_t start = platform::GetTickCount();
    auto uploader = std::make_shared<CUploader>(folder, argv[3], session, [start] {
        return start + (platform::GetTickCount() - start) * kClockSpeed;
    });
    platform::Event exit(true, false);
    std::thread uploads([&] { uploader->Run(exit); });

    // Sign in, again and again while the service is away.
    const CServiceEndpoints endpoints(argv[3]);
    bool signedIn = false;
    bool pending = false;
    std::uint64_t nextLogin = 0;
    const auto signIn = [&] {
        if (signedIn || pending || platform::GetTickCount() < nextLogin) {
            return;
        }
        pending = true;
        auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session);
        request->Post(
            endpoints.Login(), CServiceEndpoints::LoginForm(argv[4], "测试教师", "secret"),
            [&](SimpleCurl::response& r) {
                pending = false;
                signedIn = r.status == 200 && r.body.find("\"ok\":true") != std::string::npos;
                nextLogin = platform::GetTickCount() + 200;
            });
    };

    if (mode == "edit") {
        const int journalFd =
            ::open(journal.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        for (long edit = LastEdit(journal) + 1;; ++edit) {
            const std::string& plan = plans[static_cast<std::size_t>(edit) % plans.size()];
            if (folder->Save(plan, PlanVersion(plan, edit)).ok) {
                const std::string line = plan + " " + std::to_string(edit) + "\n";
                if (::write(journalFd, line.data(), line.size()) < 0 || ::fsync(journalFd) != 0) {
                    return 3;
                }
            }
            signIn();
            ServeMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    }
    // drain
    const std::uint64_t deadline = platform::GetTickCount() + 30000;
    while (platform::GetTickCount() < deadline) {
        signIn();
        ServeMessages();
        if (signedIn && folder->TakeSurvey().newest.empty()) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    exit.Set();
    uploads.join();
    SimpleCurl::StopWorker(5000);
    const bool drained = folder->TakeSurvey().newest.empty();
    std::printf(drained ? "drained\n" : "versions left\n");
    return drained ? 0 : 1;
}
