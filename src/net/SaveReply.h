#pragma once
// How the replies to a plan save are read: the plan's own save (shown to the teacher) and the
// uploader's save of a stored version (decides whether the version file goes).
#include "net/Response.h"

#include <string>

namespace Plenvo {

struct PlanSaveResult {
    // True: show message as a toast ("保存成功"); false: show it as an error bottom message.
    bool ok = false;
    std::string message;
};

PlanSaveResult EvaluatePlanSaveReply(const SimpleCurl::response& reply);

struct UploadResult {
    // The service accepted the version, or refused it for good ("ignore").
    bool removeVersion = false;
    // Formatted for diagnostics only, never shown.
    std::string diagnostic;
};

UploadResult EvaluateUploadReply(const SimpleCurl::response& reply);

} // namespace Plenvo
