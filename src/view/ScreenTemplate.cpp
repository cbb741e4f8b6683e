#include "view/ScreenTemplate.h"

#include "net/ReplyCheck.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceTexts.h"
#include "net/SimpleCurlAsync.h"
#include "net/ThreadTimer.h"
#include "view/View.h"
#include "view/ViewFactory.h"

#include <algorithm>
#include <cctype>

namespace Plenvo {

namespace {

// The value of a header whatever the case of its name, as the reply map keeps it.
std::string HeaderValue(const SimpleCurl::response& reply, std::string_view name) {
    for (const auto& [key, value] : reply.headers) {
        if (key.size() == name.size() &&
            std::equal(key.begin(), key.end(), name.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); })) {
            return value;
        }
    }
    return {};
}

// The window of a weak reference, when it still exists.
std::shared_ptr<CView> LiveView(const std::weak_ptr<CViewElement>& weak) {
    auto view = std::static_pointer_cast<CView>(weak.lock());
    return view && view->WindowExists() ? view : nullptr;
}

} // namespace

CScreenTemplate::CScreenTemplate(CView& view, std::shared_ptr<SimpleCurl::CSession> session,
                                 std::string serviceBase)
    : view_(view), session_(std::move(session)), serviceBase_(std::move(serviceBase)) {}

CScreenTemplate::~CScreenTemplate() {
    Stop();
}

void CScreenTemplate::Start() {
    if (timer_ || serviceBase_.empty()) {
        return; // running already, or a window whose description is given in code
    }
    const std::weak_ptr<CViewElement> weak = view_.weak_from_this();
    timer_ = SimpleCurl::RegisterThreadTimer(0, [weak](platform::UINT_PTR id) {
        auto view = std::static_pointer_cast<CView>(weak.lock());
        if (!view) {
            SimpleCurl::KillThreadTimer(id);
            return;
        }
        SimpleCurl::SetThreadTimer(id, kRetryMs);
        view->Template().Request();
    });
}

void CScreenTemplate::Stop() {
    if (timer_) {
        SimpleCurl::KillThreadTimer(timer_);
        timer_ = 0;
    }
}

void CScreenTemplate::RetryNow() {
    if (timer_) {
        SimpleCurl::SetThreadTimer(timer_, 0);
    }
}

void CScreenTemplate::Request() {
    const std::weak_ptr<CViewElement> weak = view_.weak_from_this();
    auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session_);
    const CServiceEndpoints endpoints(serviceBase_);
    request->Get(endpoints.Template(), CServiceEndpoints::TemplateQuery(view_.PageName()),
                 [weak, timer = timer_](SimpleCurl::response& reply) {
                     if (auto view = LiveView(weak)) {
                         view->OnTemplateReply(reply);
                     } else {
                         SimpleCurl::KillThreadTimer(timer);
                     }
                 });
}

void CScreenTemplate::OnReply(SimpleCurl::response& reply) {
    view_.HideProgress();
    const ReplyCheck check = CheckReply(reply, ServiceAction::Template);
    const std::weak_ptr<CViewElement> weak = view_.weak_from_this();
    const auto retryButton = [weak](int) {
        if (auto view = std::static_pointer_cast<CView>(weak.lock())) {
            view->DismissBottomMessages();
            view->ShowProgress();
            view->RetryTemplateNow();
        }
    };
    if (!check.good) {
        view_.ShowBottomMessage(check.message, std::string(ServiceTexts::kErrorTitle),
                                std::string(check.button), std::nullopt, retryButton);
        return;
    }
    const std::string etag = HeaderValue(reply, "ETag");
    if (!etag.empty() && etag == etag_) {
        return;
    }
    nlohmann::json description = nlohmann::json::parse(reply.body, nullptr, false);
    // Cut nesting no screen needs before anything copies the value recursively.
    LimitDescriptionDepth(description);
    if (description.is_discarded() || !description.is_object()) {
        // A template that cannot be read is treated as the server's error, and retried.
        view_.ShowBottomMessage(ServiceTexts::FillText(ServiceTexts::kNotJson, {reply.body}),
                                std::string(ServiceTexts::kErrorTitle),
                                std::string(ServiceTexts::kRetryNowButton), std::nullopt,
                                retryButton);
        return;
    }
    Stop();
    etag_ = etag;
    view_.ApplyTemplate(std::move(description));
}

} // namespace Plenvo
