#pragma once
// The crash report, run by the restarted program for each "-dmp PATH" before anything else:
// the dump goes to the service, then the user decides whether to start again. The dump file is
// kept whatever happens.
#include <string>

namespace Plenvo {

struct CrashUpload {
    static constexpr int kAttempts = 3;
    // A service that accepts and never answers must not hold the question back.
    static constexpr long kTimeLimitMs = 10000;

    bool delivered = false;
    int attempts = 0;
};

// Blocking, without a session: up to kAttempts tries, with no pause between them, until one
// finishes with status 200. A missing or too large file counts as a failed try.
CrashUpload UploadCrashDump(const std::string& serviceBase, const std::string& dumpPath,
                            long timeLimitMs = CrashUpload::kTimeLimitMs);

// Uploads the dump, then asks "程序崩溃了，要重新启动程序吗？". True when the user wants the
// program to start; false ends it (exit code 0).
bool ReportCrash(const std::string& serviceBase, const std::string& dumpPath);

} // namespace Plenvo
