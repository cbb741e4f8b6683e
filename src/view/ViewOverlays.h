#pragma once
// The overlays a page window floats above its tree: the bottom message (errors and questions, up
// to two buttons), the toast (a centred notice that fades out) and the progress cover (blocks the
// pointer while a request is pending). Each is an element subtree built by the factory from a
// description; the window holds it, not the tree, and lays it out over the client area under a
// high layer, so it paints above and takes input before everything else.
#include "gfx/Geometry.h"
#include "platform/Types.h"
#include "view/ViewElement.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Plenvo {

class CView;

class CViewOverlays {
public:
    static constexpr int kBandLayer = 100;
    static constexpr int kCoverLayer = 200;
    static constexpr unsigned kToastTick = 50;

    explicit CViewOverlays(CView& view);
    ~CViewOverlays();

    // The band's description as the window builds it (texts UTF-8, captions optional).
    static Json BottomMessageDescription(const std::string& text, const std::string& title,
                                         const std::optional<std::string>& firstCaption,
                                         const std::optional<std::string>& secondCaption,
                                         double dpi);
    static Json ToastDescription();
    static Json ProgressDescription();

    void ShowBottomMessage(const std::string& text, const std::string& title,
                           const std::optional<std::string>& firstCaption,
                           const std::optional<std::string>& secondCaption,
                           std::function<void(int button)> callback);
    void DismissBottomMessages();
    void ShowToast(const std::string& text, unsigned duration);
    void ShowProgress();
    void HideProgress();

    // Lays the bottom messages and the cover out over the root's current size; returns the
    // bottom-message area afterwards.
    gfx::RectF LayoutBottomMessages();
    void LayoutCover();
    const gfx::RectF& BottomMessageArea() const { return bottomArea_; }

    const std::vector<std::shared_ptr<CViewElement>>& BottomMessages() const { return bottom_; }
    const std::vector<std::shared_ptr<CViewElement>>& Toasts() const { return toasts_; }
    const std::shared_ptr<CViewElement>& Cover() const { return cover_; }
    // Elements taken off the screen while one of their own handlers may still run; released at
    // the window's next message.
    void ReleaseRetired() { retired_.clear(); }

private:
    void LayOut(const std::shared_ptr<CViewElement>& element);
    void Retire(const std::shared_ptr<CViewElement>& element);
    void OnToastTick(platform::UINT_PTR timer, std::uint64_t start, unsigned duration,
                     const std::weak_ptr<CViewElement>& toast);
    void InvalidateToast(const CViewElement& toast);

    CView& view_;
    std::vector<std::shared_ptr<CViewElement>> bottom_;
    std::function<void(int)> bottomCallback_;
    gfx::RectF bottomArea_;
    std::vector<std::shared_ptr<CViewElement>> toasts_;
    std::vector<platform::UINT_PTR> toastTimers_;
    std::shared_ptr<CViewElement> cover_;
    std::vector<std::shared_ptr<CViewElement>> retired_;
    // Lets a toast timer know the overlays still exist.
    std::shared_ptr<CViewOverlays*> self_;
};

} // namespace Plenvo
