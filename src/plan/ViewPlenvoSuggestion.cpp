#include "plan/ViewPlenvoSuggestion.h"

#include "gfx/Graphics.h"
#include "gfx/Pen.h"
#include "gfx/Units.h"
#include "net/ReplyCheck.h"
#include "net/ServiceEndpoints.h"
#include "net/SimpleCurlAsync.h"
#include "net/SuggestionReply.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "view/LayeredRenderer.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/ViewHooks.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewLabel.h"
#include "view/controls/ViewScrollBar.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>

namespace Plenvo {

namespace {

constexpr platform::UINT kProgressMessage = platform::WM_USER + 0x66;

double Resolve(const SizeValue& value, double space, double current) {
    switch (value.kind) {
    case SizeKind::Number:
        return value.value >= 0 ? value.value : space + value.value;
    case SizeKind::Percent:
        return space * value.value / 100;
    case SizeKind::Pixels:
    case SizeKind::Unset:
        break;
    }
    return current;
}

} // namespace

CViewPlenvoSuggestion::CViewPlenvoSuggestion(Json description, int planId,
                                             std::shared_ptr<SimpleCurl::CSession> session,
                                             std::string serviceBase)
    : CViewElement(std::move(description)), planId_(planId), session_(std::move(session)),
      serviceBase_(std::move(serviceBase)) {}

CViewPlenvoSuggestion::~CViewPlenvoSuggestion() {
    if (mailbox_ && mailbox_->window) {
        // Reports still on their way go to a window that no longer exists and are dropped.
        platform::DestroyWindow(mailbox_->window);
    }
}

std::shared_ptr<CViewPlenvoSuggestion> CViewPlenvoSuggestion::Start(CView& view, int planId) {
    Json description = {{"width", "100%"}, {"height", "100%"}, {"bkgnd", "argb(255,244,249,255)"}};
    const std::int32_t layer = view.GetLayer();
    if (layer < std::numeric_limits<std::int32_t>::max()) {
        description["layer"] = layer + 1;
    }
    auto panel = std::make_shared<CViewPlenvoSuggestion>(
        std::move(description), planId, view.Services().session, view.Services().serviceBase);
    panel->ReadProperties();
    view.AddChild(panel);
    view.RequestLayout();
    return panel;
}

void CViewPlenvoSuggestion::Register() {
    GetViewHooks().startSuggestions = [](CView& view, int planId) { Start(view, planId); };
}

std::string CViewPlenvoSuggestion::ProgressText(double downloaded) {
    char text[64];
    std::snprintf(text, sizeof text, kProgressFormat, downloaded);
    return text;
}

bool CViewPlenvoSuggestion::ReadProperties() {
    const bool ok = CViewElement::ReadProperties();
    horizontal_ = 0;
    if (planId_ != 0) {
        SendRequest();
        auto label = CreateViewElement(
            {{"name", kLabelName},
             {"type", "label"},
             {"width", "100%"},
             {"height", "100%"},
             {"font", "family:微软雅黑;size:4.2;line-align-center;string-align-center;"
                      "color:argb(255,0,0,0)"}});
        if (label) {
            AddChild(label);
        }
    }
    Json bar = {{"width", 2.2}, {"height", "100%"}, {"bkgnd", "argb(50,0,0,0)"}};
    if (layer_ < std::numeric_limits<std::int32_t>::max()) {
        bar["layer"] = layer_ + 1;
    }
    scrollBar_ = std::make_shared<CViewScrollBar>(std::move(bar));
    scrollBar_->ReadProperties();
    scrollBar_->SetParent(this);
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    scrollBar_->AddEventHandler("scrolltrack", [weak](const auto&, const std::string& param) {
        if (auto self = std::static_pointer_cast<CViewPlenvoSuggestion>(weak.lock())) {
            self->OnScrollTrack(param);
        }
        return 1;
    });
    return ok;
}

void CViewPlenvoSuggestion::SendRequest() {
    if (serviceBase_.empty()) {
        return;
    }
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    mailbox_ = std::make_shared<ProgressMailbox>();
    mailbox_->window = platform::CreateMessageWindow(
        [weak, mailbox = std::weak_ptr<ProgressMailbox>(mailbox_)](
            platform::HWND, platform::UINT message, platform::WPARAM, platform::LPARAM) {
            if (message != kProgressMessage) {
                return platform::LRESULT{0};
            }
            const auto box = mailbox.lock();
            const auto self = std::static_pointer_cast<CViewPlenvoSuggestion>(weak.lock());
            if (box && self) {
                box->posted = false;
                self->OnProgress(box->downloaded.load());
            }
            return platform::LRESULT{0};
        });
    auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, session_);
    // Runs on the worker: it only stores the count and wakes the user-interface thread once.
    request->SetProgressCallback([box = mailbox_](double, double downloaded, double, double) {
        box->downloaded = downloaded;
        if (!box->posted.exchange(true)) {
            platform::PostMessage(box->window, kProgressMessage, 0, 0);
        }
    });
    request->Get(CServiceEndpoints(serviceBase_).Suggestions(planId_),
                 [weak](SimpleCurl::response& reply) {
                     if (auto self = std::static_pointer_cast<CViewPlenvoSuggestion>(weak.lock())) {
                         self->OnReply(reply);
                     }
                 });
}

void CViewPlenvoSuggestion::SetLabel(const std::string& text) {
    if (auto* label = dynamic_cast<CViewLabel*>(FindByName(kLabelName).get())) {
        label->SetValue(text);
    }
}

void CViewPlenvoSuggestion::OnProgress(double downloaded) {
    if (!answered_) {
        SetLabel(ProgressText(downloaded));
    }
}

void CViewPlenvoSuggestion::OnReply(const SimpleCurl::response& reply) {
    // A failed transfer or a reply that is not JSON leaves the last progress text.
    if (answered_ || !IsJsonReply(reply)) {
        return;
    }
    answered_ = true;
    ShowSuggestions(reply);
}

void CViewPlenvoSuggestion::ShowSuggestions(const SimpleCurl::response& reply) {
    const auto suggestions = ParseSuggestions(reply, planId_);
    if (!suggestions) {
        SetLabel(kNotFound);
        return;
    }
    ClearChildren();
    for (const Suggestion& suggestion : *suggestions) {
        Json description = {{"readonly", true},      {"padding", "5,5,5,5"},  {"width", "100%"},
                            {"content-paddign", 10}, {"color", "rgb(0,0,0)"}, {"multiline", true},
                            {"maxlength", -1}};
        if (layer_ < std::numeric_limits<std::int32_t>::max()) {
            description["layer"] = layer_ + 1;
        }
        if (suggestion.rtf) {
            description["stream"] = suggestion.content;
        }
        auto edit = std::make_shared<CViewEdit>(std::move(description));
        edit->ReadProperties();
        AddChild(edit);
        // Another teacher's plain text is set as text: never read as a path or as RTF.
        if (!suggestion.rtf && !suggestion.content.empty()) {
            edit->SetText(suggestion.content);
        }
    }
    RequestLayout();
    InvalidateSelf();
}

// --- Layout and painting ---

void CViewPlenvoSuggestion::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                                   bool registerInLayer) {
    if (registerInLayer) {
        if (CLayeredRenderer* renderer = FindLayeredRenderer()) {
            renderer->RegisterInLayer(layer_, shared_from_this());
        }
    }
    const gfx::RectF before = GetRect();
    position_ = origin;
    size_.width = Resolve(width_, space_.width, size_.width);
    size_.height = Resolve(height_, space_.height, size_.height);
    contentRect_ = {position_.x + padding_.left, position_.y + padding_.top,
                    std::max(0.0, size_.width - padding_.left - padding_.right),
                    std::max(0.0, size_.height - padding_.top - padding_.bottom)};
    PlaceChildren();
    const double limit = std::max(0.0, contentHeight_ - size_.height);
    if (-scrollOffset_ > limit) {
        // Less content than before (a resized window): keep the end of the content in view.
        scrollOffset_ = -limit;
        PlaceChildren();
    }
    if (scrollBar_) {
        scrollBar_->SetSpace({4.0, 4.0 * size_.height});
        gfx::RectF area;
        gfx::SizeF size;
        scrollBar_->Layout(area, {position_.x + size_.width - 4.0, position_.y}, size,
                           registerInLayer);
        scrollBar_->SetRangeMm(contentHeight_, size_.height);
        scrollBar_->SetScrollPos(-scrollOffset_);
    }
    result = gfx::RectF::Union(before, GetRect());
    resultSize = size_;
}

void CViewPlenvoSuggestion::PlaceChildren() {
    gfx::PointF cursor{contentRect_.x, contentRect_.y + scrollOffset_};
    double used = 0;
    const auto children = children_;
    for (const auto& child : children) {
        child->SetSpace({contentRect_.width, contentRect_.height});
        gfx::RectF area;
        gfx::SizeF size;
        // Children are painted and fed input by the panel, which clips them to its area.
        child->Layout(area, cursor, size, false);
        cursor.y += size.height;
        used += size.height;
    }
    contentHeight_ = used;
}

void CViewPlenvoSuggestion::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) {
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    graphics.FillRectangle(background_, visible);
    const int state = graphics.Save();
    graphics.SetClip(visible, gfx::CombineMode::Intersect);
    const gfx::Pen separator(0xFF808080, 0.2);
    for (const auto& child : children_) {
        const gfx::RectF rect = child->GetRect();
        child->Paint(graphics, visible, layer);
        const std::array<gfx::PointF, 2> rule{
            gfx::PointF{rect.x, rect.y + rect.height},
            gfx::PointF{rect.x + rect.width, rect.y + rect.height}};
        graphics.DrawLines(separator, rule);
    }
    graphics.Restore(state);
}

// --- Input ---

void CViewPlenvoSuggestion::SetScrollOffset(double offset) {
    scrollOffset_ = offset;
    if (scrollBar_) {
        scrollBar_->SetScrollPos(-offset);
    }
    PlaceChildren();
    InvalidateSelf();
}

bool CViewPlenvoSuggestion::HandleMessage(platform::UINT message, platform::WPARAM wParam,
                                          platform::LPARAM lParam, platform::LRESULT& result) {
    if (message == platform::WM_MOUSEWHEEL && GetRect().Contains(MessagePointMm(message, lParam))) {
        const int delta = platform::HighWord(static_cast<platform::LPARAM>(wParam));
        const double moved = scrollOffset_ + (delta > 0 ? kWheelStep : -kWheelStep);
        SetScrollOffset(std::clamp(moved, -std::max(0.0, contentHeight_ - size_.height), 0.0));
        return true;
    }
    const auto children = children_;
    for (const auto& child : children) {
        if (child->HandleMessage(message, wParam, lParam, result)) {
            return true;
        }
    }
    return false;
}

void CViewPlenvoSuggestion::OnScrollTrack(const std::string& parameter) {
    // "track." and a number, anywhere in the text.
    for (std::size_t at = parameter.find("track."); at != std::string::npos;
         at = parameter.find("track.", at + 1)) {
        const char* begin = parameter.data() + at + 6;
        const char* end = parameter.data() + parameter.size();
        if (begin >= end || *begin < '0' || *begin > '9') {
            continue;
        }
        double position = 0;
        std::from_chars(begin, end, position, std::chars_format::fixed);
        SetScrollOffset(-position);
        return;
    }
}

} // namespace Plenvo
