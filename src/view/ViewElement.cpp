#include "view/ViewElement.h"

#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/Messages.h"
#include "view/IHostWindow.h"
#include "view/LayeredRenderer.h"
#include "view/ViewFactory.h"

#include <algorithm>
#include <array>
#include <limits>

namespace Plenvo {

namespace {

// Drawing coordinates reach the platform in single precision.
gfx::RectF Single(const gfx::RectF& r) {
    return {static_cast<float>(r.x), static_cast<float>(r.y), static_cast<float>(r.width),
            static_cast<float>(r.height)};
}

std::int32_t NextLayer(std::int32_t layer) {
    return layer == std::numeric_limits<std::int32_t>::max() ? layer : layer + 1;
}

} // namespace

CViewElement::CViewElement(Json description) : description_(std::move(description)) {}

CViewElement::~CViewElement() {
    ReleaseChildren();
}

// --- Layout -------------------------------------------------------------------------------

void CViewElement::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                          bool registerInLayer) {
    const gfx::SizeF old = size_;
    if (registerInLayer) {
        if (CLayeredRenderer* renderer = FindLayeredRenderer()) {
            if (auto self = weak_from_this().lock()) {
                renderer->RegisterInLayer(layer_, self);
            }
        }
    }

    result = {origin.x, origin.y, 0, 0};
    if (origin != position_ && !(old.width == 0 && old.height == 0)) {
        result = gfx::RectF::Union(result, {position_.x, position_.y, old.width, old.height});
    }
    position_ = origin;

    auto resolve = [](const SizeValue& v, double space, double current) {
        switch (v.kind) {
        case SizeKind::Number:
            return v.value >= 0 ? v.value : space + v.value;
        case SizeKind::Percent:
            return space * v.value / 100;
        case SizeKind::Pixels:
        case SizeKind::Unset:
            break;
        }
        return current;
    };
    size_.width = resolve(width_, space_.width, size_.width);
    size_.height = resolve(height_, space_.height, size_.height);

    if (size_.width < space_.width) {
        if (align_ == 1) {
            position_.x = origin.x + (space_.width - size_.width) * 0.5;
        } else if (align_ == 2) {
            position_.x = origin.x + space_.width - size_.width;
        }
    }
    if (size_.height < space_.height) {
        if (valign_ == 1) {
            position_.y = origin.y + (space_.height - size_.height) * 0.5;
        } else if (valign_ == 2) {
            position_.y = origin.y + space_.height - size_.height;
        }
    }

    gfx::PointF cursor = position_;
    gfx::SizeF remaining = size_;
    double usedWidth = 0;
    double usedHeight = 0;
    // A child's layout may run page code that changes this list; walk a snapshot.
    const auto children = children_;
    for (const auto& child : children) {
        child->space_ = remaining;
        gfx::RectF childArea;
        gfx::SizeF childSize;
        child->Layout(childArea, cursor, childSize, registerInLayer);
        result = gfx::RectF::Union(result, childArea);
        if (horizontal_) {
            cursor.x += childSize.width;
            usedWidth += childSize.width;
            usedHeight = std::max(usedHeight, childSize.height);
            remaining.width -= childSize.width;
        } else {
            cursor.y += childSize.height;
            usedHeight += childSize.height;
            usedWidth = std::max(usedWidth, childSize.width);
            remaining.height -= childSize.height;
        }
    }

    if (size_.width != usedWidth || size_.height != usedHeight) {
        result.width = std::max(result.width, usedWidth);
        result.height = std::max(result.height, usedHeight);
        size_.width = std::max(size_.width, usedWidth);
        size_.height = std::max(size_.height, usedHeight);
    }
    if (size_ != old) {
        result.width = std::max(old.width, size_.width);
        result.height = std::max(old.height, size_.height);
    }
    resultSize = size_;

    contentRect_ = {position_.x + padding_.left, position_.y + padding_.top,
                    size_.width - padding_.right - padding_.left,
                    size_.height - padding_.bottom - padding_.top};

    if (pendingRepaint_.width > gfx::kAreaEpsilon && pendingRepaint_.height > gfx::kAreaEpsilon) {
        result = gfx::RectF::Union(result, pendingRepaint_);
        pendingRepaint_ = {};
    }
    lastPosition_ = position_;
}

// --- Painting -----------------------------------------------------------------------------

void CViewElement::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int /*layer*/) {
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    const gfx::RectF inner = gfx::RectF::Intersect(contentRect_, visible);
    if (inner.IsEmpty()) {
        return;
    }
    graphics.FillRectangle(background_, Single(inner));
    if (gridPen_) {
        // Right and bottom edges 0.1 mm inside, so the frame stays within the content.
        const gfx::RectF c = Single(contentRect_);
        const float r = static_cast<float>(c.x + c.width - 0.1);
        const float b = static_cast<float>(c.y + c.height - 0.1);
        const std::array<gfx::PointF, 5> frame{gfx::PointF{c.x, c.y}, gfx::PointF{r, c.y},
                                               gfx::PointF{r, b}, gfx::PointF{c.x, b},
                                               gfx::PointF{c.x, c.y}};
        graphics.DrawLines(*gridPen_, frame);
    }
}

// --- Description --------------------------------------------------------------------------

const std::string* CViewElement::StringMember(const Json& object, const char* key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? &it->get_ref<const std::string&>() : nullptr;
}

bool CViewElement::IntMember(const Json& object, const char* key, std::int32_t& out) {
    if (!object.is_object()) {
        return false;
    }
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number()) {
        return false;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (it->is_number_float()) {
        // Decimals truncate; values beyond the 32-bit range saturate.
        const double v = it->get<double>();
        out = v != v ? 0 : static_cast<std::int32_t>(std::clamp(v, lo, hi));
    } else if (it->is_number_unsigned()) {
        out = static_cast<std::int32_t>(
            std::min<std::uint64_t>(it->get<std::uint64_t>(), static_cast<std::uint64_t>(hi)));
    } else {
        out = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            it->get<std::int64_t>(), static_cast<std::int64_t>(lo), static_cast<std::int64_t>(hi)));
    }
    return true;
}

bool CViewElement::BoolMember(const Json& object, const char* key, bool& out) {
    if (!object.is_object()) {
        return false;
    }
    const auto it = object.find(key);
    if (it == object.end() || !it->is_boolean()) {
        return false;
    }
    out = it->get<bool>();
    return true;
}

bool CViewElement::ReadProperties() {
    ReleaseChildren();
    const Json& d = description_;

    const std::string* name = StringMember(d, "name");
    name_ = name ? *name : std::string();
    width_ = ReadSize(d, "width");
    height_ = ReadSize(d, "height");
    const std::string* bkgnd = StringMember(d, "bkgnd");
    background_ = bkgnd ? ParseColor(*bkgnd, gfx::kNoColor) : gfx::kNoColor;
    const std::string* layout = StringMember(d, "layout");
    horizontal_ = layout && *layout == "vertical" ? 0 : 1;
    const std::string* align = StringMember(d, "align");
    align_ = !align ? 0 : *align == "center" ? 1 : *align == "right" ? 2 : 0;
    const std::string* valign = StringMember(d, "valign");
    valign_ = !valign ? 0 : *valign == "center" ? 1 : *valign == "bottom" ? 2 : 0;
    const std::string* padding = StringMember(d, "padding");
    padding_ = padding ? ParsePadding(*padding) : Padding{};
    if (const std::string* cursor = StringMember(d, "cursor")) {
        if (const Cursor c = ParseCursor(*cursor); c != Cursor::None) {
            cursor_ = c;
        }
    }
    blockMouse_ = false;
    BoolMember(d, "blockmousemsg", blockMouse_);
    const std::string* gridline = StringMember(d, "gridline");
    gridPen_ = gridline ? ParsePen(*gridline) : nullptr;
    layer_ = 0;
    IntMember(d, "layer", layer_);
    const std::string* tooltip = StringMember(d, "tooltip");
    tooltip_ = tooltip ? *tooltip : std::string();

    if (d.is_object()) {
        const auto elements = d.find("elements");
        if (elements != d.end() && elements->is_array()) {
            for (const Json& item : *elements) {
                if (!item.is_object()) {
                    continue;
                }
                Json copy = item;
                std::int32_t childLayer = 0;
                if (!IntMember(copy, "layer", childLayer) || childLayer == 0) {
                    copy["layer"] = NextLayer(layer_);
                }
                if (auto child = CreateViewElement(std::move(copy))) {
                    AddChild(std::move(child));
                }
            }
        }
    }
    return true;
}

void CViewElement::SetDescription(Json description) {
    LimitDescriptionDepth(description);
    description_ = std::move(description);
    ReadProperties();
}

// --- Input --------------------------------------------------------------------------------

gfx::PointF CViewElement::MessagePointMm(platform::UINT message, platform::LPARAM lParam) {
    Point p{platform::LowWord(lParam), platform::HighWord(lParam)};
    if (message == platform::WM_MOUSEWHEEL) {
        p = ScreenToClient(p);
    }
    const double dpi = GetDpi();
    return {gfx::PxToMm(p.x, dpi), gfx::PxToMm(p.y, dpi)};
}

bool CViewElement::HandleMessage(platform::UINT message, platform::WPARAM /*wParam*/,
                                 platform::LPARAM lParam, platform::LRESULT& /*result*/) {
    if (!IsMouseMessage(message)) {
        return false;
    }
    if (!contentRect_.Contains(MessagePointMm(message, lParam))) {
        return false;
    }
    // Handlers may drop this element from the tree; keep it alive until we are done.
    const auto self = weak_from_this().lock();
    switch (message) {
    case platform::WM_LBUTTONDOWN:
        SetActiveId(this);
        FireEvent("lbuttondown", "");
        if (!IsFocused(this)) {
            SetFocusId(this, [] {});
        }
        return true;
    case platform::WM_LBUTTONUP:
        if (FireEvent("lbuttonup", "")) {
            return true;
        }
        if (IsActiveId(this) && FireEvent("click", name_)) {
            return true;
        }
        break;
    case platform::WM_MOUSEMOVE: {
        const bool hasTooltip = !tooltip_.empty();
        std::weak_ptr<CViewElement> weak = weak_from_this();
        const bool entered = TrackHoverRegion(this, contentRect_, [weak, hasTooltip] {
            const auto element = weak.lock();
            if (!element) {
                return;
            }
            element->FireEvent("mouseleave", "");
            if (hasTooltip) {
                if (IHostWindow* host = element->GetHostWindow()) {
                    host->ShowTooltip(std::nullopt);
                }
            }
        });
        if (entered) {
            FireEvent("mousein", "");
            if (hasTooltip) {
                if (IHostWindow* host = GetHostWindow()) {
                    host->ShowTooltip(tooltip_);
                }
            }
        }
        return true;
    }
    default:
        break;
    }
    return blockMouse_;
}

// --- Root services: forwarded to the parent -------------------------------------------------

bool CViewElement::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return parent_ ? parent_->TrackHoverRegion(id, rect, std::move(leave)) : false;
}

void CViewElement::InvalidateSelf() {
    InvalidateRectMm(GetRect());
}

void CViewElement::InvalidateRectMm(const gfx::RectF& rect) {
    if (parent_) {
        parent_->InvalidateRectMm(rect);
    }
}

Point CViewElement::ScreenToClient(Point screen) {
    return parent_ ? parent_->ScreenToClient(screen) : Point{};
}

void CViewElement::SetCursor(Cursor cursor) {
    if (parent_) {
        parent_->SetCursor(cursor == Cursor::None ? cursor_ : cursor);
    }
}

void CViewElement::ClearChildren() {
    const auto children = children_;
    for (const auto& child : children) {
        child->ClearChildren();
    }
    ReleaseChildren();
}

void CViewElement::SetMouseCapture(bool on, CViewElement* element) {
    if (parent_) {
        parent_->SetMouseCapture(on, element ? element : this);
    }
}

bool CViewElement::HasMouseCapture(const CViewElement* element) {
    return parent_ ? parent_->HasMouseCapture(element ? element : this) : false;
}

std::shared_ptr<CViewElement> CViewElement::HitTest(gfx::PointF pointMm) {
    return parent_ ? parent_->HitTest(pointMm) : nullptr;
}

bool CViewElement::ScrollRectMm(const CViewElement& scroller, const gfx::RectF& area, double dy) {
    return parent_ && parent_->ScrollRectMm(scroller, area, dy);
}

CViewElement* CViewElement::GetRoot() {
    return parent_ ? parent_->GetRoot() : this;
}

IHostWindow* CViewElement::GetHostWindow() {
    return parent_ ? parent_->GetHostWindow() : nullptr;
}

bool CViewElement::IsFocused(ElementId id) {
    return parent_ ? parent_->IsFocused(id) : false;
}

void CViewElement::SetFocusId(ElementId id) {
    if (parent_) {
        parent_->SetFocusId(id);
    }
}

void CViewElement::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    if (parent_) {
        parent_->SetFocusId(id, std::move(killFocus));
    }
}

void CViewElement::AddEventHandler(const std::string& name, EventHandler handler) {
    eventHandlers_[name].push_back(std::move(handler));
}

void CViewElement::RemoveEventHandlers(const std::string& name) {
    // The entry stays: an element with an empty list still stops the event from bubbling.
    eventHandlers_[name].clear();
}

void CViewElement::SetActiveId(ElementId id) {
    if (parent_) {
        parent_->SetActiveId(id);
    }
}

bool CViewElement::IsActiveId(ElementId id) {
    return parent_ ? parent_->IsActiveId(id) : false;
}

void CViewElement::RequestLayout() {
    if (parent_) {
        parent_->RequestLayout();
    }
}

double CViewElement::GetDpi() {
    return parent_ ? parent_->GetDpi() : gfx::ScreenDpi();
}

// --- Tree and events ----------------------------------------------------------------------

int CViewElement::FireEvent(const std::string& name, const std::string& parameter) {
    std::string dotted = parameter;
    std::shared_ptr<CViewElement> hold = weak_from_this().lock();
    for (CViewElement* e = this; e;) {
        dotted = e->name_ + "." + dotted;
        const auto it = e->eventHandlers_.find(name);
        if (it != e->eventHandlers_.end()) {
            // A handler may add or remove handlers, or release this element.
            const std::vector<EventHandler> handlers = it->second;
            const std::shared_ptr<CViewElement> self = e->weak_from_this().lock();
            for (const EventHandler& handler : handlers) {
                if (const int handled = handler(self, dotted)) {
                    return handled;
                }
            }
            return 0;
        }
        e = e->parent_;
        hold = e ? e->weak_from_this().lock() : nullptr;
    }
    return 0;
}

void CViewElement::AddChild(std::shared_ptr<CViewElement> child) {
    if (!child) {
        return;
    }
    child->parent_ = this;
    children_.push_back(std::move(child));
    pendingRepaint_ = gfx::RectF::Union(pendingRepaint_, GetRect());
    RequestLayout();
}

std::shared_ptr<CViewElement> CViewElement::FindByName(const std::string& name) {
    for (const auto& child : children_) {
        if (auto found = child->FindByName(name)) {
            return found;
        }
    }
    return name_ == name ? weak_from_this().lock() : nullptr;
}

CLayeredRenderer* CViewElement::FindLayeredRenderer() {
    for (CViewElement* e = this; e; e = e->parent_) {
        if (auto* renderer = dynamic_cast<CLayeredRenderer*>(e)) {
            return renderer;
        }
    }
    return nullptr;
}

void CViewElement::ReleaseChildren() {
    auto children = std::move(children_);
    children_.clear();
    for (const auto& child : children) {
        if (child->parent_ == this) {
            child->parent_ = nullptr;
        }
    }
}

} // namespace Plenvo
