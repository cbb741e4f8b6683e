#include "net/SaveReply.h"

#include "net/ReplyCheck.h"
#include "net/ServiceTexts.h"

namespace Plenvo {

namespace {

std::string ErrorMember(const nlohmann::json& reply) {
    const auto error = reply.find("error");
    return error != reply.end() && error->is_string() ? error->get<std::string>() : std::string();
}

bool OkMember(const nlohmann::json& reply) {
    const auto ok = reply.find("ok");
    return ok != reply.end() && ok->is_boolean() && ok->get<bool>();
}

} // namespace

PlanSaveResult EvaluatePlanSaveReply(const SimpleCurl::response& reply) {
    using namespace ServiceTexts;
    if (reply.result != 0) {
        return {false, FillText(kTransferFailedCode, {PointerText(reply.result)})};
    }
    if (reply.status != 200) {
        return {false,
                FillText(kSaveStatus, {std::to_string(reply.status), reply.error, reply.body})};
    }
    const nlohmann::json object = ParseReplyObject(reply.body);
    if (OkMember(object)) {
        return {true, std::string(kSaved)};
    }
    return {false, ErrorMember(object)};
}

UploadResult EvaluateUploadReply(const SimpleCurl::response& reply) {
    using namespace ServiceTexts;
    if (reply.result != 0) {
        return {false, FillText(kTransferFailedCode, {PointerText(reply.result)})};
    }
    if (reply.status != 200) {
        return {false, FillText(kUploadStatus, {std::to_string(reply.status), reply.body})};
    }
    const nlohmann::json object = ParseReplyObject(reply.body);
    const std::string error = ErrorMember(object);
    return {OkMember(object) || error == "ignore", error};
}

} // namespace Plenvo
