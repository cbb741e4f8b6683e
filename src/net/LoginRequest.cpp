#include "net/LoginRequest.h"

#include "net/ReplyCheck.h"
#include "net/ServiceTexts.h"

namespace Plenvo {

LoginResult EvaluateLoginReply(const SimpleCurl::response& reply) {
    using Outcome = LoginResult::Outcome;
    if (!IsJsonReply(reply)) {
        return {Outcome::Failed,
                ServiceTexts::FillText(ServiceTexts::kLoginNetwork, {reply.error})};
    }
    const nlohmann::json body = nlohmann::json::parse(reply.body, nullptr, false);
    if (!body.is_object() || !body.contains("ok") || !body["ok"].is_boolean()) {
        return {Outcome::Failed, std::string(ServiceTexts::kServerErrorRetry)};
    }
    if (body["ok"].get<bool>()) {
        return {Outcome::Accepted, {}};
    }
    const auto error = body.find("error");
    return {Outcome::Refused,
            error != body.end() && error->is_string() ? error->get<std::string>() : std::string()};
}

bool CLoginRequest::Send(const CServiceEndpoints& endpoints,
                         std::shared_ptr<SimpleCurl::CSession> session, LoginValues values,
                         Handler handler) {
    if (state_->pending) {
        return false;
    }
    auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session);
    state_->pending = request;
    const auto form = CServiceEndpoints::LoginForm(values.id, values.name, values.password);
    request->Post(endpoints.Login(), form,
                  [weakState = std::weak_ptr<State>(state_), values = std::move(values),
                   handler = std::move(handler)](SimpleCurl::response& reply) {
                      auto state = weakState.lock();
                      if (!state) {
                          return;
                      }
                      state->pending.reset();
                      if (handler) {
                          handler(EvaluateLoginReply(reply), values);
                      }
                  });
    return true;
}

} // namespace Plenvo
