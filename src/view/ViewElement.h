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
    // Root service: moves what the window shows of the area by dy (millimetres, down when
    // positive) as the element's content scrolled, repainting only what the move uncovers and
    // what else is drawn there. False when it cannot (no window, or dy is not whole pixels):
    // then the caller repaints the area.
    virtual bool ScrollRectMm(const CViewElement& scroller, const gfx::RectF& area, double dy);
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
    // Root service: the resolution (pixels per inch) of the surface the tree is shown on, which
    // every millimetre-to-pixel conversion of an element uses; the desktop's without a root.
    virtual double GetDpi();

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

    const Json& GetDescription() const { return description_; }
    CViewElement* GetParent() const { return parent_; }
    // Points this element at a parent that does not list it as a child (a control's own parts).
    void SetParent(CViewElement* parent) { parent_ = parent; }
    const std::vector<std::shared_ptr<CViewElement>>& GetChildren() const { return children_; }
    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    gfx::SizeF GetSpace() const { return space_; }
    void SetSpace(gfx::SizeF space) { space_ = space; }
    gfx::PointF GetPosition() const { return position_; }
    gfx::SizeF GetSize() const { return size_; }
    void SetSize(gfx::SizeF size) { size_ = size; }
    gfx::RectF GetRect() const { return {position_.x, position_.y, size_.width, size_.height}; }
    const gfx::RectF& GetContentRect() const { return contentRect_; }
    void SetContentRect(const gfx::RectF& rect) { contentRect_ = rect; }
    SizeValue GetWidthValue() const { return width_; }
    SizeValue GetHeightValue() const { return height_; }
    const Padding& GetPadding() const { return padding_; }
    gfx::Color GetBackground() const { return background_; }
    void SetBackground(gfx::Color color) { background_ = color; }
    Cursor GetCursor() const { return cursor_; }
    float GetOpacity() const { return opacity_; }
    void SetOpacity(float opacity) { opacity_ = opacity; }
    std::int32_t GetLayer() const { return layer_; }
    void SetLayer(std::int32_t layer) { layer_ = layer; }
    const std::string& GetTooltip() const { return tooltip_; }
    bool BlocksMouse() const { return blockMouse_; }
    bool IsHorizontal() const { return horizontal_ != 0; }
    int GetAlign() const { return align_; }
    int GetVAlign() const { return valign_; }
    const gfx::Pen* GetGridPen() const { return gridPen_.get(); }
    const gfx::RectF& GetPendingRepaint() const { return pendingRepaint_; }

protected:
    // Reads a JSON string, integer, boolean member; the wrong type counts as absent.
    static const std::string* StringMember(const Json& object, const char* key);
    static bool IntMember(const Json& object, const char* key, std::int32_t& out);
    static bool BoolMember(const Json& object, const char* key, bool& out);
    // The mouse point of a message in millimetres (the wheel's screen point made client first).
    gfx::PointF MessagePointMm(platform::UINT message, platform::LPARAM lParam);
    // Detaches and drops the children without touching their own children.
    void ReleaseChildren();

    Json description_;
    gfx::SizeF space_;
    CViewElement* parent_ = nullptr;
    std::map<std::string, std::vector<EventHandler>> eventHandlers_;
    int horizontal_ = 1;
    int align_ = 0;
    int valign_ = 0;
    std::vector<std::shared_ptr<CViewElement>> children_;
    std::string name_;
    SizeValue width_;
    SizeValue height_;
    gfx::SizeF size_;
    gfx::PointF position_;
    gfx::RectF contentRect_;
    gfx::PointF lastPosition_;
    Padding padding_;
    gfx::Color background_ = 0xFFFFFFFF;
    Cursor cursor_ = Cursor::Arrow;
    std::unique_ptr<gfx::Pen> gridPen_;
    gfx::RectF pendingRepaint_;
    float opacity_ = 1.0f;
    std::int32_t layer_ = 0;
    std::string tooltip_;
    bool blockMouse_ = false;
};

} // namespace Plenvo
