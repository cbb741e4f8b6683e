#pragma once
// The check every plan reply passes before a page looks at it: the transfer finished, the status
// is 200 and the content type says JSON. A failed check carries the message the page shows as a
// bottom message (title ServiceTexts::kErrorTitle, the button named here, no action). The page
// itself first dismisses its bottom messages and hides its progress cover.
#include "net/Response.h"

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace Plenvo {

enum class ServiceAction { CreatePlan, SaveInfo, OpenPlan, PlanInfo, Template };

struct ReplyCheck {
    bool good = false;
    std::string message;
    std::string_view button;
};

ReplyCheck CheckReply(const SimpleCurl::response& reply, ServiceAction action);
// A reply body as a JSON object; anything else reads as ok false, error "bad json response".
nlohmann::json ParseReplyObject(std::string_view body);
// True when the reply finished with status 200 and a content type containing "json".
bool IsJsonReply(const SimpleCurl::response& reply);

} // namespace Plenvo

#include "net/SimpleCurlAsync.h"

#include <functional>

namespace Plenvo {

// What a page supplies for a checked plan reply (create, save info, open).
struct ReplyHandlers {
    // Runs first, whatever the outcome: dismiss the bottom messages, hide the progress cover.
    std::function<void()> settle;
    // A failed check: show check.message as an error bottom message with check.button.
    std::function<void(const ReplyCheck& check)> fail;
    // A reply that passed: the body as an object (the "bad json response" substitute when the
    // body is not one).
    std::function<void(nlohmann::json& reply)> handle;
};

SimpleCurl::CSimpleCurlAsync::Callback CheckedReply(ServiceAction action, ReplyHandlers handlers);

} // namespace Plenvo
