#pragma once
// The login: at most one request in flight, and the completion sees exactly the values that were
// sent. What a successful login does to the application (the user record, cfg.ini, the main page,
// the upload thread) is the handler's business.
#include "net/Response.h"
#include "net/ServiceEndpoints.h"
#include "net/Session.h"
#include "net/SimpleCurlAsync.h"

#include <functional>
#include <memory>
#include <string>

namespace Plenvo {

struct LoginValues {
    std::string id;
    std::string name;
    std::string password;
};

struct LoginResult {
    enum class Outcome { Accepted, Refused, Failed };
    Outcome outcome = Outcome::Failed;
    // For Refused the service's error text; for Failed the text to show. Both are shown as an
    // error bottom message (title "错误", button "确定").
    std::string message;
};

LoginResult EvaluateLoginReply(const SimpleCurl::response& reply);

class CLoginRequest {
public:
    // Runs on the thread that sent the login, after the pending request has been cleared.
    using Handler = std::function<void(const LoginResult& result, const LoginValues& sent)>;

    // Sends the login unless one is pending; returns false (and sends nothing) when one is.
    bool Send(const CServiceEndpoints& endpoints, std::shared_ptr<SimpleCurl::CSession> session,
              LoginValues values, Handler handler);
    bool Pending() const { return state_->pending != nullptr; }

private:
    // Shared with the completion, which must not outlive this object's state; the handler of a
    // login whose owner is gone is not called.
    struct State {
        std::shared_ptr<SimpleCurl::CSimpleCurlAsync> pending;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace Plenvo
