#pragma once
// The base of every element of a window's tree: built from a JSON description, laid out in
// millimetres, painted and fed input through the layered renderer of the root. Window services
// travel up the parent chain to the root, which overrides them; an element without a root gets
// neutral answers (nothing happens, zero or none is returned).
//
// Elements are always shared-owned (the factory makes them with std::make_shared); a parent owns
// its children and a child points back to its parent without owning it.
#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Pen.h"
#include "platform/Types.h"
#include "view/Cursor.h"
#include "view/SizeValue.h"
#include "view/StyleValues.h"
#include "view/ViewTypes.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gfx {
class Graphics;
}

namespace Plenvo {

class CLayeredRenderer;
class IHostWindow;

using Json = nlohmann::json;

class CViewElement : public std::enable_shared_from_this<CViewElement> {
public:
    explicit CViewElement(Json description);
    virtual ~CViewElement();
    CViewElement(const CViewElement&) = delete;
    CViewElement& operator=(const CViewElement&) = delete;

    // --- Virtual operations, in their fixed order ---

    // Lays this element and its children out at origin within the space the parent set;
    // result receives the area that needs repainting, resultSize the element's size.
    virtual void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                        bool registerInLayer);
    virtual void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer);
    virtual bool ReadProperties();
    // Takes the description by value so a caller can hand over a parsed template without a copy.
    virtual void SetDescription(Json description);
    virtual bool HandleMessage(platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam, platform::LRESULT& result);
    // Root service: whether id became the new hover id.
    virtual bool TrackHoverRegion(ElementId id, const gfx::RectF& rect, LeaveCallback leave);
    virtual void InvalidateSelf();
    virtual void InvalidateRectMm(const gfx::RectF& rect);
    virtual Point ScreenToClient(Point screen);
    // Passes the cursor, or this element's own one when none is given, towards the root.
    virtual void SetCursor(Cursor cursor);
    virtual void ClearChildren();
    // Root service; with no element given, for this element.
    virtual void SetMouseCapture(bool on, CViewElement* element = nullptr);
    virtual bool HasMouseCapture(const CViewElement* element);
    virtual std::shared_ptr<CViewElement> HitTest(gfx::PointF pointMm);
    virtual CViewElement* GetRoot();
    virtual IHostWindow* GetHostWindow();
    virtual bool IsFocused(ElementId id);
    virtual void SetFocusId(ElementId id);
    virtual void SetFocusId(ElementId id, KillFocusCallback killFocus);
    virtual void AddEventHandler(const std::string& name, EventHandler handler);
    virtual void RemoveEventHandlers(const std::string& name);
    virtual void SetActiveId(ElementId id);
    virtual bool IsActiveId(ElementId id);
    virtual void RequestLayout();

    // --- Tree and events ---

    // Raises an event here; it bubbles to the first element with handlers for the name, each
    // level prefixing its own name. Returns the first non-zero handler result, else 0.
    int FireEvent(const std::string& name, const std::string& parameter);
    void AddChild(std::shared_ptr<CViewElement> child);
    // Depth first, descendants before their ancestor, earlier children first.
    std::shared_ptr<CViewElement> FindByName(const std::string& name);
    // The first element up the parent chain (this one included) that is a layered renderer.
    CLayeredRenderer* FindLayeredRenderer();

    // --- State ---

    const Json& GetDescription() const { return m_description; }
    CViewElement* GetParent() const { return m_parent; }
    // Points this element at a parent that does not list it as a child (a control's own parts).
    void SetParent(CViewElement* parent) { m_parent = parent; }
    const std::vector<std::shared_ptr<CViewElement>>& GetChildren() const { return m_children; }
    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    gfx::SizeF GetSpace() const { return m_space; }
    void SetSpace(gfx::SizeF space) { m_space = space; }
    gfx::PointF GetPosition() const { return m_position; }
    gfx::SizeF GetSize() const { return m_size; }
    void SetSize(gfx::SizeF size) { m_size = size; }
    gfx::RectF GetRect() const { return {m_position.x, m_position.y, m_size.width, m_size.height}; }
    const gfx::RectF& GetContentRect() const { return m_contentRect; }
    void SetContentRect(const gfx::RectF& rect) { m_contentRect = rect; }
    SizeValue GetWidthValue() const { return m_width; }
    SizeValue GetHeightValue() const { return m_height; }
    const Padding& GetPadding() const { return m_padding; }
    gfx::Color GetBackground() const { return m_background; }
    void SetBackground(gfx::Color color) { m_background = color; }
    Cursor GetCursor() const { return m_cursor; }
    float GetOpacity() const { return m_opacity; }
    void SetOpacity(float opacity) { m_opacity = opacity; }
    std::int32_t GetLayer() const { return m_layer; }
    void SetLayer(std::int32_t layer) { m_layer = layer; }
    const std::string& GetTooltip() const { return m_tooltip; }
    bool BlocksMouse() const { return m_blockMouse; }
    bool IsHorizontal() const { return m_horizontal != 0; }
    int GetAlign() const { return m_align; }
    int GetVAlign() const { return m_valign; }
    const gfx::Pen* GetGridPen() const { return m_gridPen.get(); }
    const gfx::RectF& GetPendingRepaint() const { return m_pendingRepaint; }

protected:
    // Reads a JSON string, integer, boolean member; the wrong type counts as absent.
    static const std::string* StringMember(const Json& object, const char* key);
    static bool IntMember(const Json& object, const char* key, std::int32_t& out);
    static bool BoolMember(const Json& object, const char* key, bool& out);
    // The mouse point of a message in millimetres (the wheel's screen point made client first).
    gfx::PointF MessagePointMm(platform::UINT message, platform::LPARAM lParam);
    // Detaches and drops the children without touching their own children.
    void ReleaseChildren();

    Json m_description;
    gfx::SizeF m_space;
    CViewElement* m_parent = nullptr;
    std::map<std::string, std::vector<EventHandler>> m_eventHandlers;
    int m_horizontal = 1;
    int m_align = 0;
    int m_valign = 0;
    std::vector<std::shared_ptr<CViewElement>> m_children;
    std::string m_name;
    SizeValue m_width;
    SizeValue m_height;
    gfx::SizeF m_size;
    gfx::PointF m_position;
    gfx::RectF m_contentRect;
    gfx::PointF m_lastPosition;
    Padding m_padding;
    gfx::Color m_background = 0xFFFFFFFF;
    Cursor m_cursor = Cursor::Arrow;
    std::unique_ptr<gfx::Pen> m_gridPen;
    gfx::RectF m_pendingRepaint;
    float m_opacity = 1.0f;
    std::int32_t m_layer = 0;
    std::string m_tooltip;
    bool m_blockMouse = false;
};

} // namespace Plenvo
