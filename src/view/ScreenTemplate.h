#pragma once
// The screen template of a page window: requested from the service by page name as soon as the
// window exists and again every 10 s until one has been applied; a failed or unreadable reply
// shows the retry band, a reply with the entity tag of the template in force changes nothing.
#include "platform/Types.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace SimpleCurl {
class CSession;
struct response;
} // namespace SimpleCurl

namespace Plenvo {

class CView;

class CScreenTemplate {
public:
    static constexpr unsigned kRetryMs = 10000;

    // view: the window the template is for, which outlives this object.
    CScreenTemplate(CView& view, std::shared_ptr<SimpleCurl::CSession> session,
                    std::string serviceBase);
    ~CScreenTemplate();
    CScreenTemplate(const CScreenTemplate&) = delete;
    CScreenTemplate& operator=(const CScreenTemplate&) = delete;

    // Fires the first request at once and keeps retrying until a template is applied or Stop.
    void Start();
    void Stop();
    // Fires the request at once (the retry button).
    void RetryNow();
    // Applies a reply as the window's template, or shows why it cannot be.
    void OnReply(SimpleCurl::response& reply);
    const std::string& ETag() const { return etag_; }

private:
    void Request();

    CView& view_;
    std::shared_ptr<SimpleCurl::CSession> session_;
    std::string serviceBase_;
    platform::UINT_PTR timer_ = 0;
    std::string etag_;
};

} // namespace Plenvo
