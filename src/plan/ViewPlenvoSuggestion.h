#pragma once
// The element that fills the `suggestion` window: it asks the service for suggestions on one
// plan, shows the download progress, then one read-only text box per suggestion (or a text
// saying nothing was found) in a column that scrolls by wheel and scroll bar.
#include "view/ViewElement.h"

#include <atomic>
#include <memory>
#include <string>

namespace SimpleCurl {
class CSession;
struct response;
} // namespace SimpleCurl

namespace Plenvo {

class CView;
class CViewScrollBar;

class CViewPlenvoSuggestion : public CViewElement {
public:
    static constexpr double kWheelStep = 10.0;
    static constexpr const char* kLabelName = "downloadinfo";
    static constexpr const char* kNotFound = ":(很抱歉没有在数据库中找到相关教案";
    static constexpr const char* kProgressFormat = "已下载 %.0f 字节";

    // The request goes to serviceBase on the session; an empty base sends nothing.
    CViewPlenvoSuggestion(Json description, int planId,
                          std::shared_ptr<SimpleCurl::CSession> session, std::string serviceBase);
    ~CViewPlenvoSuggestion() override;

    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool ReadProperties() override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;

    // Builds the panel into a window whose template is applied (the suggestion window's start).
    static std::shared_ptr<CViewPlenvoSuggestion> Start(CView& view, int planId);
    // Registers Start as the suggestion window's start hook.
    static void Register();

    // The panel's side of the transfer, on the user-interface thread.
    void OnProgress(double downloaded);
    void OnReply(const SimpleCurl::response& reply);

    double ScrollOffset() const { return scrollOffset_; }
    double ContentHeight() const { return contentHeight_; }
    CViewScrollBar* ScrollBar() const { return scrollBar_.get(); }
    int PlanId() const { return planId_; }
    static std::string ProgressText(double downloaded);

private:
    // The worker's byte counts reach the user-interface thread through this window; later
    // counts replace earlier ones while a message is on its way.
    struct ProgressMailbox {
        std::atomic<double> downloaded{0};
        std::atomic<bool> posted{false};
        platform::HWND window = 0;
    };

    void SendRequest();
    void ShowSuggestions(const SimpleCurl::response& reply);
    void SetLabel(const std::string& text);
    void PlaceChildren();
    void SetScrollOffset(double offset);
    void OnScrollTrack(const std::string& parameter);

    double scrollOffset_ = 0;
    double contentHeight_ = 0;
    std::shared_ptr<CViewScrollBar> scrollBar_;
    int planId_;
    std::shared_ptr<SimpleCurl::CSession> session_;
    std::string serviceBase_;
    std::shared_ptr<ProgressMailbox> mailbox_;
    bool answered_ = false;
};

} // namespace Plenvo
