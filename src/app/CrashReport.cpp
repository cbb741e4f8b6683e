#include "app/CrashReport.h"

#include "app/Version.h"
#include "net/ServiceEndpoints.h"
#include "net/SimpleCurl.h"
#include "platform/Dialogs.h"
#include "platform/Display.h"

namespace Plenvo {

namespace {

constexpr const char* kRestartQuestion = "程序崩溃了，要重新启动程序吗？";
constexpr const char* kErrorCaption = "错误";

} // namespace

CrashUpload UploadCrashDump(const std::string& serviceBase, const std::string& dumpPath,
                            long timeLimitMs) {
    const std::string url = CServiceEndpoints(serviceBase).Dump(FileVersionText());
    CrashUpload outcome;
    while (outcome.attempts < CrashUpload::kAttempts && !outcome.delivered) {
        ++outcome.attempts;
        // No session exists yet: the report runs before the application object.
        SimpleCurl::CSimpleCurl request(nullptr);
        request.SetTimeLimit(timeLimitMs);
        request.PostFile(url, dumpPath);
        outcome.delivered = request.Result().finished && request.Result().status == 200;
    }
    return outcome;
}

bool ReportCrash(const std::string& serviceBase, const std::string& dumpPath) {
    // Failures stay silent: the dump remains on disk either way.
    UploadCrashDump(serviceBase, dumpPath);
    platform::InitializeUserInterface();
    const int answer = platform::MessageBox(0, kRestartQuestion, kErrorCaption,
                                            platform::MB_YESNO | platform::MB_ICONSTOP);
    return answer == platform::IDYES;
}

} // namespace Plenvo
