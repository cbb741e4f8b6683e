// plenvo-service: the reference lesson-plan service.
#include "CommandLine.h"
#include "LessonPlanService.h"
#include "Store.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

using namespace PlenvoService;

namespace {
volatile std::sig_atomic_t g_stopRequested = 0;
void OnSignal(int) {
    g_stopRequested = 1;
}
} // namespace

int main(int argc, char** argv) {
    std::string error;
    auto line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!line) {
        std::cerr << "plenvo-service: " << error << "\n\n" << Usage();
        return 2;
    }
    if (line->help) {
        std::cout << Usage();
        return 0;
    }
    try {
        std::error_code ignored;
        auto parent = std::filesystem::path(line->database).parent_path();
        if (!parent.empty())
            std::filesystem::create_directories(parent, ignored);
        std::filesystem::create_directories(line->dataFolder, ignored);
        Store store(line->database, line->passwordIterations);

        ServiceOptions options;
        options.basePath = line->basePath;
        options.dataFolder = line->dataFolder;
        options.threads = line->threads;
        options.connections.maxConnections = static_cast<size_t>(line->maxConnections);
        options.connections.maxPerAddress = static_cast<size_t>(line->connectionsPerAddress);
        std::mutex logMutex;
        if (!line->quiet)
            options.log = [&logMutex](const std::string& text) {
                std::lock_guard lock(logMutex);
                std::fprintf(stdout, "%s\n", text.c_str());
                std::fflush(stdout);
            };
        LessonPlanService service(store, options);
        int port = service.Bind(line->bind, line->port);
        if (port < 0) {
            std::cerr << "plenvo-service: cannot listen on " << line->bind << ":" << line->port
                      << " (in use, or not an address of this machine)\n";
            return 1;
        }
        std::cout << "plenvo-service: serving http://" << line->bind << ":" << port
                  << options.basePath << " (database " << line->database << ", data "
                  << line->dataFolder << ")" << std::endl;

        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGPIPE, SIG_IGN);
        std::thread watcher([&service] {
            service.WaitUntilRunning();
            while (!g_stopRequested)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            service.Stop();
        });
        bool served = service.Run();
        g_stopRequested = 1;
        watcher.join();
        std::cout << "plenvo-service: stopped" << std::endl;
        return served ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "plenvo-service: " << e.what() << "\n";
        return 1;
    }
}
