#pragma once
// One line of a plan's grid: a row of cells, left to right. A top-level teaching-process line may
// offer the add-line and delete-line icons beside it.
#include "plan/IPage.h"

#include "gfx/Geometry.h"
#include "platform/Types.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gfx {
class Bitmap;
class Graphics;
} // namespace gfx

namespace Plenvo {

class CGridCell;

// The two icons a line draws beside itself; owned by the plan element.
struct LineIcons {
    const gfx::Bitmap* addLine = nullptr;
    const gfx::Bitmap* deleteLine = nullptr;
};

using CellPredicate = std::function<bool(CGridCell&)>;

class CGridLine : public std::enable_shared_from_this<CGridLine> {
public:
    static constexpr double kIconSize = 6.0;
    static constexpr double kBorderRoom = 0.3;

    // Builds the line and its cells (recursively) from a template line object.
    CGridLine(const nlohmann::json& description, IPage* page);
    virtual ~CGridLine();
    CGridLine(const CGridLine&) = delete;
    CGridLine& operator=(const CGridLine&) = delete;

    virtual bool HandleMessage(platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam, platform::LRESULT& result);

    // Points every cell, at every depth, at the line or cell above it.
    void LinkParents();
    // Depth first: a cell's sub-lines before the cell itself.
    std::shared_ptr<CGridCell> FindCell(const std::string& name);
    std::shared_ptr<CGridCell> CellAt(gfx::PointF pointMm);
    // An accepted cell is taken without its contents; a refused one is searched.
    void Collect(const CellPredicate& predicate, std::vector<std::shared_ptr<CGridCell>>& out);
    bool NameInUse(const std::string& stem) const;

    // Lays the line out at a point; `changed` grows by every area that moved. Returns the height.
    double Layout(gfx::PointF point, gfx::RectF& changed);
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, const LineIcons& icons);
    // Releases the cells' text engines and sub-lines; the line is dead afterwards.
    void Teardown();

    gfx::RectF Rect() const { return {x_, y_, width_, height_}; }
    gfx::RectF AddIconRect() const;
    gfx::RectF DeleteIconRect() const;
    // The line and the icons drawn beside it.
    gfx::RectF PaintedRect() const;
    bool IsTopLevel() const { return parentCell_.expired(); }
    // Sets or clears the focused flag here and upwards through the containers.
    void SetFocused(bool focused);

    const std::vector<std::shared_ptr<CGridCell>>& Cells() const { return cells_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    const std::string& Name() const { return name_; }
    const nlohmann::json& Description() const { return description_; }
    bool IsExtendable() const { return extendable_; }
    bool IsRemovable() const { return removable_; }
    bool IsFocused() const { return focused_ != 0; }
    std::shared_ptr<CGridCell> ParentCell() const { return parentCell_.lock(); }
    void SetParentCell(const std::shared_ptr<CGridCell>& cell) { parentCell_ = cell; }

private:
    std::vector<std::shared_ptr<CGridCell>> cells_;
    double width_ = 0;
    double height_ = 0;
    double x_ = 0;
    double y_ = 0;
    std::weak_ptr<CGridCell> parentCell_;
    bool extendable_ = false;
    bool removable_ = false;
    nlohmann::json description_;
    std::string name_;
    int focused_ = 0;
    IPage* page_;
};

} // namespace Plenvo
