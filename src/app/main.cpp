#include "app/CommandLine.h"
#include "app/CrashReport.h"
#include "app/MainThread.h"
#include "app/TerminationWatch.h"
#include "net/ServiceUrl.h"
#include "pages/Pages.h"
#include "plan/PlanElements.h"
#include "plan/PlanPrinter.h"
#include "plan/PlanSaving.h"
#include "plan/ViewPlenvoSuggestion.h"
#include "platform/Paths.h"
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
        if (!ReportCrash(ReadServiceUrl(platform::FullPath("cfg.ini"), commandLine.serviceUrl),
                         dump)) {
            return 0;
        }
    }
    RegisterControls();
    RegisterPlanElements();
    CPlanSaving::Register();
    CViewPlenvoSuggestion::Register();
    CPlanPrinter::Register();
    RegisterPages();
    try {
        CMainThread app(CMainThread::Options{commandLine.serviceUrl, false, true, true});
        if (!app.CreateMessageWindow()) {
            return 1;
        }
        return app.Run();
    } catch (const StartupError& e) {
        std::fprintf(stderr, "程序启动错误! Plenvo cannot start: %s\n", e.what());
        return 1;
    }
}
