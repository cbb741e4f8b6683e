#include "app/CommandLine.h"
#include "app/MainThread.h"
#include "pages/Pages.h"
#include "plan/PlanElements.h"
#include "view/controls/Controls.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace Plenvo;
    const CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    for (const std::string& dump : commandLine.dumpPaths) {
        // The crash report (upload, then the restart question) runs here for each dump.
        std::printf("crash report pending for %s\n", dump.c_str());
    }
    RegisterControls();
    RegisterPlanElements();
    RegisterPages();
    try {
        CMainThread app(CMainThread::Options{commandLine.serviceUrl, false});
        if (!app.CreateMessageWindow()) {
            return 1;
        }
        return app.Run();
    } catch (const StartupError& e) {
        std::fprintf(stderr, "Plenvo cannot start: %s\n", e.what());
        return 1;
    }
}
