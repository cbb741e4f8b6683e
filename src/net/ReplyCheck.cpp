#include "net/ReplyCheck.h"

#include "net/ServiceTexts.h"

namespace Plenvo {

namespace {

struct ActionTexts {
    std::string_view network;
    std::string_view status;
    std::string_view button;
};

ActionTexts TextsOf(ServiceAction action) {
    using namespace ServiceTexts;
    switch (action) {
    case ServiceAction::CreatePlan:
        return {kCreatePlanNetwork, kCreatePlanStatus, kOkButton};
    case ServiceAction::SaveInfo:
        return {kSaveInfoNetwork, kSaveInfoStatus, kOkButton};
    case ServiceAction::OpenPlan:
        return {kOpenPlanNetwork, kOpenPlanStatus, kOkButton};
    case ServiceAction::PlanInfo:
        return {kPlanInfoNetwork, kPlanInfoStatus, kOkButton};
    case ServiceAction::Template:
        return {kTemplateNetwork, kTemplateStatus, kRetryNowButton};
    }
    return {kCreatePlanNetwork, kCreatePlanStatus, kOkButton};
}

} // namespace

bool IsJsonReply(const SimpleCurl::response& reply) {
    return reply.finished && reply.status == 200 &&
           reply.contentType.find("json") != std::string::npos;
}

ReplyCheck CheckReply(const SimpleCurl::response& reply, ServiceAction action) {
    const ActionTexts texts = TextsOf(action);
    if (!reply.finished || reply.status != 200) {
        std::string message =
            reply.result != 0
                ? ServiceTexts::FillText(texts.network, {reply.error})
                : ServiceTexts::FillText(texts.status, {std::to_string(reply.status)});
        return {false, std::move(message), texts.button};
    }
    if (reply.contentType.find("json") == std::string::npos) {
        return {false, ServiceTexts::FillText(ServiceTexts::kNotJson, {reply.body}), texts.button};
    }
    return {true, {}, texts.button};
}

nlohmann::json ParseReplyObject(std::string_view body) {
    nlohmann::json parsed = nlohmann::json::parse(body, nullptr, false);
    if (!parsed.is_object()) {
        parsed = nlohmann::json::parse(ServiceTexts::kBadJsonReply);
    }
    return parsed;
}

} // namespace Plenvo

namespace Plenvo {

SimpleCurl::CSimpleCurlAsync::Callback CheckedReply(ServiceAction action, ReplyHandlers handlers) {
    return [action, handlers = std::move(handlers)](SimpleCurl::response& reply) {
        if (handlers.settle) {
            handlers.settle();
        }
        ReplyCheck check = CheckReply(reply, action);
        if (!check.good) {
            if (handlers.fail) {
                handlers.fail(check);
            }
            return;
        }
        nlohmann::json object = ParseReplyObject(reply.body);
        if (handlers.handle) {
            handlers.handle(object);
        }
    };
}

} // namespace Plenvo
