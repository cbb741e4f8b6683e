#include "view/ViewOverlays.h"

#include "net/ThreadTimer.h"
#include "platform/Tick.h"
#include "view/View.h"
#include "view/ViewFactory.h"

#include <algorithm>
#include <cstdio>

namespace Plenvo {

namespace {

constexpr const char* kButtonFont =
    "family:微软雅黑;size:4.2;line-align-center;string-align-center;color:argb(255,255,255,255)";

Json BottomButton(const char* name, const std::string& caption, Json width, Json height) {
    return Json{{"width", std::move(width)}, {"height", std::move(height)},
                {"type", "button"},          {"name", name},
                {"valign", "center"},        {"value", caption},
                {"cursor", "hand"},          {"texnor", "PNG_BTNTEXNOR"},
                {"texpre", "PNG_BTNTEXPRE"}, {"texhov", "PNG_BTNTEXHOV"},
                {"font", kButtonFont}};
}

} // namespace

CViewOverlays::CViewOverlays(CView& view)
    : view_(view), self_(std::make_shared<CViewOverlays*>(this)) {}

CViewOverlays::~CViewOverlays() {
    for (platform::UINT_PTR timer : toastTimers_) {
        SimpleCurl::KillThreadTimer(timer);
    }
}

Json CViewOverlays::BottomMessageDescription(const std::string& text, const std::string& title,
                                             const std::optional<std::string>& firstCaption,
                                             const std::optional<std::string>& secondCaption,
                                             double dpi) {
    Json buttons = Json::array();
    if (firstCaption) {
        // 118 x 36 screen pixels, in millimetres.
        buttons.push_back(
            BottomButton("bottom_message_button1", *firstCaption, 2997.2 / dpi, 914.4 / dpi));
        buttons.push_back(Json{{"width", 10}});
    }
    if (secondCaption) {
        buttons.push_back(BottomButton("bottom_message_button2", *secondCaption, 35, 8.1));
    }
    const Json titleRow = {
        {"width", "100%"},
        {"height", "50%"},
        {"elements", Json::array({Json{{"width", 15},
                                       {"height", "100%"},
                                       {"type", "image"},
                                       {"src", "PNG_ALERT"},
                                       {"padding", "3.5,0,3.5,7"}},
                                  Json{{"width", "100%"},
                                       {"height", "100%"},
                                       {"type", "label"},
                                       {"value", title},
                                       {"font", "family:微软雅黑;size:6.2;line-align-center;"
                                                "color:argb(255,255,255,255)"},
                                       {"bkgnd", "argb(0,0,0,255)"}}})}};
    const Json messageRow = {{"width", "100%"},
                             {"height", "100%"},
                             {"elements", Json::array({Json{{"width", 7}, {"height", "100%"}},
                                                       Json{{"width", "100%"},
                                                            {"height", "100%"},
                                                            {"bkgnd", "argb(0,255,0,255)"},
                                                            {"type", "label"},
                                                            {"font", "family:微软雅黑;size:4.5;"
                                                                     "color:argb(255,255,255,255)"},
                                                            {"value", text}}})}};
    const Json textColumn = {{"width", -100},
                             {"height", "100%"},
                             {"layout", "vertical"},
                             {"bkgnd", "argb(0,0,255,0)"},
                             {"elements", Json::array({titleRow, messageRow})}};
    const Json buttonRow = {{"width", "100%"},
                            {"height", "100%"},
                            {"bkgnd", "argb(0,255,255,0)"},
                            {"elements", buttons}};
    return Json{{"layer", kBandLayer},
                {"height", 30},
                {"width", "100%"},
                {"valign", "bottom"},
                {"bkgnd", "argb(255,98,141,186)"},
                {"elements", Json::array({textColumn, buttonRow})}};
}

Json CViewOverlays::ToastDescription() {
    return Json::parse(R"json({"layer":100,"align":"center","valign":"center",)json"
                       R"json("gridline":"argb(255,204,204,204),w:0.1","type":"label",)json"
                       R"json("height":30,"width":120,"font":"family:微软雅黑;size:3.9;)json"
                       R"json(string-align-center;line-align-center;)json"
                       R"json(color:argb(255,255,255,255)","bkgnd":"argb(255,72,119,165)"})json");
}

Json CViewOverlays::ProgressDescription() {
    return Json{{"width", "100%"},
                {"height", "100%"},
                {"layer", kCoverLayer},
                {"bkgnd", "argb(50,0,0,0)"},
                {"blockmousemsg", true},
                {"elements", Json::array({Json{{"width", 15},
                                               {"height", 15},
                                               {"align", "center"},
                                               {"valign", "center"},
                                               {"type", "image"},
                                               {"src", "PNG_PROGRESS"}}})}};
}

void CViewOverlays::Retire(const std::shared_ptr<CViewElement>& element) {
    // Off the screen and out of the input at once; the object itself lives until the window's
    // next message, since one of its own handlers may be running.
    const std::function<void(CViewElement&)> unregister = [&](CViewElement& e) {
        view_.Unregister(e.GetLayer(), &e);
        for (const auto& child : e.GetChildren()) {
            unregister(*child);
        }
    };
    unregister(*element);
    retired_.push_back(element);
}

void CViewOverlays::LayOut(const std::shared_ptr<CViewElement>& element) {
    // The root serves the overlay without listing it among its children.
    element->SetParent(&view_);
    element->SetSpace(view_.GetSize());
    gfx::RectF area;
    gfx::SizeF size;
    element->Layout(area, {0, 0}, size, true);
}

gfx::RectF CViewOverlays::LayoutBottomMessages() {
    while (bottom_.size() > 1) {
        Retire(bottom_.front());
        bottom_.erase(bottom_.begin());
    }
    gfx::RectF area;
    for (const auto& message : bottom_) {
        LayOut(message);
        area = gfx::RectF::Union(area, message->GetRect());
    }
    bottomArea_ = area;
    return area;
}

void CViewOverlays::LayoutCover() {
    if (cover_) {
        LayOut(cover_);
    }
}

void CViewOverlays::ShowBottomMessage(const std::string& text, const std::string& title,
                                      const std::optional<std::string>& firstCaption,
                                      const std::optional<std::string>& secondCaption,
                                      std::function<void(int button)> callback) {
    auto band = CreateViewElement(
        BottomMessageDescription(text, title, firstCaption, secondCaption, view_.Dpi()));
    if (!band) {
        return;
    }
    const std::weak_ptr<CViewOverlays*> self = self_;
    const auto bind = [&](const char* name, int number) {
        if (auto button = band->FindByName(name)) {
            button->AddEventHandler("click", [self, number](const auto&, const std::string&) {
                if (auto overlays = self.lock()) {
                    // A copy: the callback may show the next message, which replaces it.
                    auto callback = (*overlays)->bottomCallback_;
                    if (callback) {
                        callback(number);
                    }
                }
                return 1;
            });
        }
    };
    if (firstCaption) {
        bind("bottom_message_button1", 1);
    }
    if (secondCaption) {
        bind("bottom_message_button2", 2);
    }
    bottom_.push_back(band);
    bottomCallback_ = std::move(callback);
    const gfx::RectF before = bottomArea_;
    view_.InvalidateRectMm(gfx::RectF::Union(before, LayoutBottomMessages()));
}

void CViewOverlays::DismissBottomMessages() {
    const gfx::RectF before = bottomArea_;
    for (const auto& message : bottom_) {
        Retire(message);
    }
    bottom_.clear();
    LayoutBottomMessages();
    if (!before.IsEmpty()) {
        view_.InvalidateRectMm(before);
    }
}

void CViewOverlays::ShowToast(const std::string& text, unsigned duration) {
    view_.Log(text, duration);
    Json description = ToastDescription();
    description["value"] = text;
    auto toast = CreateViewElement(std::move(description));
    if (!toast) {
        return;
    }
    char name[64];
    std::snprintf(name, sizeof name, "message[%p]", static_cast<const void*>(toast.get()));
    toast->SetName(name);
    for (const auto& old : toasts_) {
        InvalidateToast(*old);
        Retire(old);
    }
    toasts_.assign(1, toast);
    LayOut(toast);
    InvalidateToast(*toast);

    const std::uint64_t start = platform::GetTickCount();
    const std::weak_ptr<CViewOverlays*> self = self_;
    const std::weak_ptr<CViewElement> weakToast = toast;
    const platform::UINT_PTR timer = SimpleCurl::RegisterThreadTimer(
        kToastTick, [self, start, duration, weakToast](platform::UINT_PTR id) {
            if (auto overlays = self.lock()) {
                (*overlays)->OnToastTick(id, start, duration, weakToast);
            } else {
                SimpleCurl::KillThreadTimer(id);
            }
        });
    toastTimers_.push_back(timer);
}

void CViewOverlays::OnToastTick(platform::UINT_PTR timer, std::uint64_t start, unsigned duration,
                                const std::weak_ptr<CViewElement>& weakToast) {
    auto toast = weakToast.lock();
    const auto listed = std::find(toasts_.begin(), toasts_.end(), toast);
    if (!toast || listed == toasts_.end()) {
        // Replaced by a newer notice: its timer has nothing left to do.
        SimpleCurl::KillThreadTimer(timer);
        std::erase(toastTimers_, timer);
        return;
    }
    const std::uint64_t elapsed = platform::GetTickCount() - start;
    if (elapsed < duration) {
        const std::uint64_t remaining = duration - elapsed;
        if (remaining < 1000) {
            toast->SetOpacity(static_cast<float>(remaining) / 1000.0f);
            InvalidateToast(*toast);
        }
        return;
    }
    toasts_.erase(listed);
    Retire(toast);
    SimpleCurl::KillThreadTimer(timer);
    std::erase(toastTimers_, timer);
    InvalidateToast(*toast);
}

void CViewOverlays::InvalidateToast(const CViewElement& toast) {
    gfx::RectF r = toast.GetRect();
    r = {r.x - 5, r.y - 5, r.width + 10, r.height + 10};
    if (r.x < 0) {
        r.width += r.x;
        r.x = 0;
    }
    if (r.y < 0) {
        r.height += r.y;
        r.y = 0;
    }
    view_.InvalidateRectMm(r);
}

void CViewOverlays::ShowProgress() {
    auto cover = CreateViewElement(ProgressDescription());
    if (!cover) {
        return;
    }
    if (cover_) {
        Retire(cover_);
    }
    cover_ = cover;
    LayOut(cover_);
    view_.InvalidateAll();
}

void CViewOverlays::HideProgress() {
    if (cover_) {
        Retire(cover_);
        cover_.reset();
    }
    view_.InvalidateAll();
}

} // namespace Plenvo
