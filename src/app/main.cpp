#include "app/CommandLine.h"
#include "app/MainThread.h"
#include "app/TerminationWatch.h"
#include "pages/Pages.h"
#include "plan/PlanElements.h"
#include "plan/PlanPrinter.h"
#include "plan/PlanSaving.h"
#include "plan/ViewPlenvoSuggestion.h"
#include "view/controls/Controls.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace Plenvo;
    // Before any thread starts, so that every thread inherits it.
    CTerminationWatch::BlockInProcess();
    const CommandLine commandLine = ParseCommandLine(std::vector<std::string>(argv, argv + argc));
    for (const std::string& dump : commandLine.dumpPaths) {
        // The crash report (upload, then the restart question) runs here for each dump.
        std::printf("crash report pending for %s\n", dump.c_str());
    }
    RegisterControls();
    RegisterPlanElements();
    CPlanSaving::Register();
    CViewPlenvoSuggestion::Register();
    CPlanPrinter::Register();
    RegisterPages();
    try {
        CMainThread app(CMainThread::Options{commandLine.serviceUrl, false, true});
        if (!app.CreateMessageWindow()) {
            return 1;
        }
        return app.Run();
    } catch (const StartupError& e) {
        std::fprintf(stderr, "Plenvo cannot start: %s\n", e.what());
        return 1;
    }
}
