#include "app/ClientParts.h"
#include "app/CommandLine.h"
#include "app/CrashReport.h"
#include "app/MainThread.h"
#include "app/TerminationWatch.h"
#include "net/ServiceUrl.h"
#include "platform/Paths.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace Plenvo;
    // Before any thread starts, so that every thread inherits it.
    CTerminationWatch::BlockInProcess();
    const CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    const std::string serviceUrl = ServiceUrlOfThisRun(commandLine);
    for (const std::string& dump : commandLine.dumpPaths) {
        if (!ReportCrash(ReadServiceUrl(platform::FullPath("cfg.ini"), serviceUrl), dump)) {
            return 0;
        }
    }
    RegisterClientParts();
    try {
        CMainThread app(CMainThread::Options{serviceUrl, false, true, true});
        if (!app.CreateMessageWindow()) {
            return 1;
        }
        return app.Run();
    } catch (const StartupError& e) {
        std::fprintf(stderr, "程序启动错误! Plenvo cannot start: %s\n", e.what());
        return 1;
    }
}
