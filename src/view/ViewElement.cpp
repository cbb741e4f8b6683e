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

CViewElement::CViewElement(Json description) : m_description(std::move(description)) {}

CViewElement::~CViewElement() {
    ReleaseChildren();
}

// --- Layout -------------------------------------------------------------------------------

void CViewElement::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                          bool registerInLayer) {
    const gfx::SizeF old = m_size;
    if (registerInLayer) {
        if (CLayeredRenderer* renderer = FindLayeredRenderer()) {
            if (auto self = weak_from_this().lock()) {
                renderer->RegisterInLayer(m_layer, self);
            }
        }
    }

    result = {origin.x, origin.y, 0, 0};
    if (origin != m_position && !(old.width == 0 && old.height == 0)) {
        result = gfx::RectF::Union(result, {m_position.x, m_position.y, old.width, old.height});
    }
    m_position = origin;

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
    m_size.width = resolve(m_width, m_space.width, m_size.width);
    m_size.height = resolve(m_height, m_space.height, m_size.height);

    if (m_size.width < m_space.width) {
        if (m_align == 1) {
            m_position.x = origin.x + (m_space.width - m_size.width) * 0.5;
        } else if (m_align == 2) {
            m_position.x = origin.x + m_space.width - m_size.width;
        }
    }
    if (m_size.height < m_space.height) {
        if (m_valign == 1) {
            m_position.y = origin.y + (m_space.height - m_size.height) * 0.5;
        } else if (m_valign == 2) {
            m_position.y = origin.y + m_space.height - m_size.height;
        }
    }

    gfx::PointF cursor = m_position;
    gfx::SizeF remaining = m_size;
    double usedWidth = 0;
    double usedHeight = 0;
    // A child's layout may run page code that changes this list; walk a snapshot.
    const auto children = m_children;
    for (const auto& child : children) {
        child->m_space = remaining;
        gfx::RectF childArea;
        gfx::SizeF childSize;
        child->Layout(childArea, cursor, childSize, registerInLayer);
        result = gfx::RectF::Union(result, childArea);
        if (m_horizontal) {
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

    if (m_size.width != usedWidth || m_size.height != usedHeight) {
        result.width = std::max(result.width, usedWidth);
        result.height = std::max(result.height, usedHeight);
        m_size.width = std::max(m_size.width, usedWidth);
        m_size.height = std::max(m_size.height, usedHeight);
    }
    if (m_size != old) {
        result.width = std::max(old.width, m_size.width);
        result.height = std::max(old.height, m_size.height);
    }
    resultSize = m_size;

    m_contentRect = {m_position.x + m_padding.left, m_position.y + m_padding.top,
                     m_size.width - m_padding.right - m_padding.left,
                     m_size.height - m_padding.bottom - m_padding.top};

    if (m_pendingRepaint.width > gfx::kAreaEpsilon && m_pendingRepaint.height > gfx::kAreaEpsilon) {
        result = gfx::RectF::Union(result, m_pendingRepaint);
        m_pendingRepaint = {};
    }
    m_lastPosition = m_position;
}

// --- Painting -----------------------------------------------------------------------------

void CViewElement::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int /*layer*/) {
    const gfx::RectF visible = gfx::RectF::Intersect(GetRect(), clip);
    if (visible.IsEmpty()) {
        return;
    }
    const gfx::RectF inner = gfx::RectF::Intersect(m_contentRect, visible);
    if (inner.IsEmpty()) {
        return;
    }
    graphics.FillRectangle(m_background, Single(inner));
    if (m_gridPen) {
        // Right and bottom edges 0.1 mm inside, so the frame stays within the content.
        const gfx::RectF c = Single(m_contentRect);
        const float r = static_cast<float>(c.x + c.width - 0.1);
        const float b = static_cast<float>(c.y + c.height - 0.1);
        const std::array<gfx::PointF, 5> frame{gfx::PointF{c.x, c.y}, gfx::PointF{r, c.y},
                                               gfx::PointF{r, b}, gfx::PointF{c.x, b},
                                               gfx::PointF{c.x, c.y}};
        graphics.DrawLines(*m_gridPen, frame);
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
    const Json& d = m_description;

    const std::string* name = StringMember(d, "name");
    m_name = name ? *name : std::string();
    m_width = ReadSize(d, "width");
    m_height = ReadSize(d, "height");
    const std::string* bkgnd = StringMember(d, "bkgnd");
    m_background = bkgnd ? ParseColor(*bkgnd, gfx::kNoColor) : gfx::kNoColor;
    const std::string* layout = StringMember(d, "layout");
    m_horizontal = layout && *layout == "vertical" ? 0 : 1;
    const std::string* align = StringMember(d, "align");
    m_align = !align ? 0 : *align == "center" ? 1 : *align == "right" ? 2 : 0;
    const std::string* valign = StringMember(d, "valign");
    m_valign = !valign ? 0 : *valign == "center" ? 1 : *valign == "bottom" ? 2 : 0;
    const std::string* padding = StringMember(d, "padding");
    m_padding = padding ? ParsePadding(*padding) : Padding{};
    if (const std::string* cursor = StringMember(d, "cursor")) {
        if (const Cursor c = ParseCursor(*cursor); c != Cursor::None) {
            m_cursor = c;
        }
    }
    m_blockMouse = false;
    BoolMember(d, "blockmousemsg", m_blockMouse);
    const std::string* gridline = StringMember(d, "gridline");
    m_gridPen = gridline ? ParsePen(*gridline) : nullptr;
    m_layer = 0;
    IntMember(d, "layer", m_layer);
    const std::string* tooltip = StringMember(d, "tooltip");
    m_tooltip = tooltip ? *tooltip : std::string();

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
                    copy["layer"] = NextLayer(m_layer);
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
    m_description = std::move(description);
    ReadProperties();
}

// --- Input --------------------------------------------------------------------------------

gfx::PointF CViewElement::MessagePointMm(platform::UINT message, platform::LPARAM lParam) {
    Point p{platform::LowWord(lParam), platform::HighWord(lParam)};
    if (message == platform::WM_MOUSEWHEEL) {
        p = ScreenToClient(p);
    }
    return {gfx::PxToMm(p.x), gfx::PxToMm(p.y)};
}

bool CViewElement::HandleMessage(platform::UINT message, platform::WPARAM /*wParam*/,
                                 platform::LPARAM lParam, platform::LRESULT& /*result*/) {
    if (!IsMouseMessage(message)) {
        return false;
    }
    if (!m_contentRect.Contains(MessagePointMm(message, lParam))) {
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
        if (IsActiveId(this) && FireEvent("click", m_name)) {
            return true;
        }
        break;
    case platform::WM_MOUSEMOVE: {
        const bool hasTooltip = !m_tooltip.empty();
        std::weak_ptr<CViewElement> weak = weak_from_this();
        const bool entered = TrackHoverRegion(this, m_contentRect, [weak, hasTooltip] {
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
                    host->ShowTooltip(m_tooltip);
                }
            }
        }
        return true;
    }
    default:
        break;
    }
    return m_blockMouse;
}

// --- Root services: forwarded to the parent -------------------------------------------------

bool CViewElement::TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave) {
    return m_parent ? m_parent->TrackHoverRegion(id, rect, std::move(leave)) : false;
}

void CViewElement::InvalidateSelf() {
    InvalidateRectMm(GetRect());
}

void CViewElement::InvalidateRectMm(const gfx::RectF& rect) {
    if (m_parent) {
        m_parent->InvalidateRectMm(rect);
    }
}

Point CViewElement::ScreenToClient(Point screen) {
    return m_parent ? m_parent->ScreenToClient(screen) : Point{};
}

void CViewElement::SetCursor(Cursor cursor) {
    if (m_parent) {
        m_parent->SetCursor(cursor == Cursor::None ? m_cursor : cursor);
    }
}

void CViewElement::ClearChildren() {
    const auto children = m_children;
    for (const auto& child : children) {
        child->ClearChildren();
    }
    ReleaseChildren();
}

void CViewElement::SetMouseCapture(bool on, CViewElement* element) {
    if (m_parent) {
        m_parent->SetMouseCapture(on, element ? element : this);
    }
}

bool CViewElement::HasMouseCapture(const CViewElement* element) {
    return m_parent ? m_parent->HasMouseCapture(element ? element : this) : false;
}

std::shared_ptr<CViewElement> CViewElement::HitTest(gfx::PointF pointMm) {
    return m_parent ? m_parent->HitTest(pointMm) : nullptr;
}

CViewElement* CViewElement::GetRoot() {
    return m_parent ? m_parent->GetRoot() : this;
}

IHostWindow* CViewElement::GetHostWindow() {
    return m_parent ? m_parent->GetHostWindow() : nullptr;
}

bool CViewElement::IsFocused(ElementId id) {
    return m_parent ? m_parent->IsFocused(id) : false;
}

void CViewElement::SetFocusId(ElementId id) {
    if (m_parent) {
        m_parent->SetFocusId(id);
    }
}

void CViewElement::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    if (m_parent) {
        m_parent->SetFocusId(id, std::move(killFocus));
    }
}

void CViewElement::AddEventHandler(const std::string& name, EventHandler handler) {
    m_eventHandlers[name].push_back(std::move(handler));
}

void CViewElement::RemoveEventHandlers(const std::string& name) {
    // The entry stays: an element with an empty list still stops the event from bubbling.
    m_eventHandlers[name].clear();
}

void CViewElement::SetActiveId(ElementId id) {
    if (m_parent) {
        m_parent->SetActiveId(id);
    }
}

bool CViewElement::IsActiveId(ElementId id) {
    return m_parent ? m_parent->IsActiveId(id) : false;
}

void CViewElement::RequestLayout() {
    if (m_parent) {
        m_parent->RequestLayout();
    }
}

// --- Tree and events ----------------------------------------------------------------------

int CViewElement::FireEvent(const std::string& name, const std::string& parameter) {
    std::string dotted = parameter;
    std::shared_ptr<CViewElement> hold = weak_from_this().lock();
    for (CViewElement* e = this; e;) {
        dotted = e->m_name + "." + dotted;
        const auto it = e->m_eventHandlers.find(name);
        if (it != e->m_eventHandlers.end()) {
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
        e = e->m_parent;
        hold = e ? e->weak_from_this().lock() : nullptr;
    }
    return 0;
}

void CViewElement::AddChild(std::shared_ptr<CViewElement> child) {
    if (!child) {
        return;
    }
    child->m_parent = this;
    m_children.push_back(std::move(child));
    m_pendingRepaint = gfx::RectF::Union(m_pendingRepaint, GetRect());
    RequestLayout();
}

std::shared_ptr<CViewElement> CViewElement::FindByName(const std::string& name) {
    for (const auto& child : m_children) {
        if (auto found = child->FindByName(name)) {
            return found;
        }
    }
    return m_name == name ? weak_from_this().lock() : nullptr;
}

CLayeredRenderer* CViewElement::FindLayeredRenderer() {
    for (CViewElement* e = this; e; e = e->m_parent) {
        if (auto* renderer = dynamic_cast<CLayeredRenderer*>(e)) {
            return renderer;
        }
    }
    return nullptr;
}

void CViewElement::ReleaseChildren() {
    auto children = std::move(m_children);
    m_children.clear();
    for (const auto& child : children) {
        if (child->m_parent == this) {
            child->m_parent = nullptr;
        }
    }
}

} // namespace Plenvo
