#include "plan/GridLine.h"

#include "plan/GridCell.h"
#include "plan/TemplateMembers.h"

#include "gfx/Bitmap.h"
#include "gfx/Graphics.h"
#include "gfx/Units.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"

#include <algorithm>

namespace Plenvo {

using namespace platform;

namespace {

constexpr UINT kQuestionIcon = 0x20; // MB_ICONQUESTION

} // namespace

CGridLine::CGridLine(const nlohmann::json& description, IPage* page)
    : width_(TemplateMembers::Number(description, "width")),
      height_(TemplateMembers::Number(description, "height")),
      extendable_(TemplateMembers::Flag(description, "extendable")),
      removable_(TemplateMembers::Flag(description, "removable")), description_(description),
      name_(TemplateMembers::Text(description, "name")), page_(page) {
    if (!description.is_object()) {
        return;
    }
    const auto cells = description.find("cells");
    if (cells == description.end() || !cells->is_array()) {
        return;
    }
    cells_.reserve(cells->size());
    for (const auto& cell : *cells) {
        cells_.push_back(std::make_shared<CGridCell>(cell, page));
    }
}

CGridLine::~CGridLine() = default;

void CGridLine::LinkParents() {
    const auto self = shared_from_this();
    for (const auto& cell : cells_) {
        cell->LinkParents(self);
    }
}

std::shared_ptr<CGridCell> CGridLine::FindCell(const std::string& name) {
    for (const auto& cell : cells_) {
        if (auto found = cell->FindCell(name)) {
            return found;
        }
    }
    return nullptr;
}

std::shared_ptr<CGridCell> CGridLine::CellAt(gfx::PointF pointMm) {
    for (const auto& cell : cells_) {
        if (auto found = cell->CellAt(pointMm)) {
            return found;
        }
    }
    return nullptr;
}

void CGridLine::Collect(const CellPredicate& predicate,
                        std::vector<std::shared_ptr<CGridCell>>& out) {
    for (const auto& cell : cells_) {
        cell->Collect(predicate, out);
    }
}

bool CGridLine::NameInUse(const std::string& stem) const {
    const auto matches = [&stem](const std::string& name) {
        return name.compare(0, stem.size(), stem) == 0 &&
               (name.size() == stem.size() || name[stem.size()] == '.');
    };
    if (matches(name_)) {
        return true;
    }
    return std::any_of(cells_.begin(), cells_.end(),
                       [&](const auto& cell) { return cell->NameInUse(stem); });
}

double CGridLine::Layout(gfx::PointF point, gfx::RectF& changed) {
    if (point.x != x_ || point.y != y_) {
        changed = gfx::RectF::Union(changed, PaintedRect());
        x_ = point.x;
        y_ = point.y;
        changed = gfx::RectF::Union(changed, PaintedRect());
    }
    double x = x_;
    double height = 0;
    for (const auto& cell : cells_) {
        height = std::max(height, cell->Layout({x, y_}, changed));
        x += cell->Width();
    }
    for (const auto& cell : cells_) {
        if (cell->Height() != height) {
            changed = gfx::RectF::Union(changed, cell->Rect());
            cell->SetLaidOutHeight(height);
            changed = gfx::RectF::Union(changed, cell->Rect());
        }
    }
    if (height != height_) {
        // The icons sit at the line's middle: they move with its height.
        changed = gfx::RectF::Union(changed, PaintedRect());
        height_ = height;
        changed = gfx::RectF::Union(changed, PaintedRect());
    }
    return height_;
}

gfx::RectF CGridLine::PaintedRect() const {
    gfx::RectF rect = Rect();
    if (IsTopLevel() && extendable_) {
        rect = gfx::RectF::Union(rect, AddIconRect());
    }
    if (IsTopLevel() && removable_) {
        rect = gfx::RectF::Union(rect, DeleteIconRect());
    }
    return rect;
}

void CGridLine::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, const LineIcons& icons) {
    // The cells' borders are centred on their edges: the clip leaves room for the outer half of
    // the pen, or the left and top borders fade to nothing.
    const gfx::RectF rect = Rect();
    const gfx::RectF room{rect.x - kBorderRoom, rect.y - kBorderRoom, rect.width + 2 * kBorderRoom,
                          rect.height + 2 * kBorderRoom};
    const int state = graphics.Save();
    graphics.SetClip(room, gfx::CombineMode::Intersect);
    const gfx::RectF lineClip = gfx::RectF::Intersect(clip, room);
    for (const auto& cell : cells_) {
        if (cell->Rect().Intersects(lineClip)) {
            cell->Paint(graphics, lineClip, icons);
        }
    }
    graphics.Restore(state);
    // The icons lie beside the line, so they are drawn outside its own clip (inside the plan's),
    // where the clicks on them already go.
    if (!IsTopLevel()) {
        return;
    }
    if (extendable_ && icons.addLine && AddIconRect().Intersects(clip)) {
        graphics.DrawImage(*icons.addLine, AddIconRect());
    }
    if (removable_ && icons.deleteLine && DeleteIconRect().Intersects(clip)) {
        graphics.DrawImage(*icons.deleteLine, DeleteIconRect());
    }
}

gfx::RectF CGridLine::AddIconRect() const {
    return {x_ + width_ + 1.0, y_ + height_ * 0.5 - 5.0, kIconSize, kIconSize};
}

gfx::RectF CGridLine::DeleteIconRect() const {
    return {x_ + width_ + 13.0, y_ + height_ * 0.5 - 5.0, kIconSize, kIconSize};
}

void CGridLine::SetFocused(bool focused) {
    focused_ = focused ? 1 : 0;
    if (auto cell = parentCell_.lock()) {
        cell->SetFocusedUpwards(focused);
    }
}

void CGridLine::Teardown() {
    for (const auto& cell : cells_) {
        cell->Teardown();
    }
    cells_.clear();
}

bool CGridLine::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_MOUSEWHEEL) {
        return false;
    }
    // Adding or removing may release this line while it handles the message.
    const auto self = shared_from_this();
    if (message == WM_LBUTTONDOWN) {
        const gfx::PointF point = PointMm(*page_, lParam);
        if (extendable_ && AddIconRect().Contains(point)) {
            page_->InsertLineAfter(this);
            return true;
        }
        if (removable_ && DeleteIconRect().Contains(point)) {
            if (MessageBox(page_->GetHandle(), "确实要删除该行吗？", "提示",
                           MB_YESNO | kQuestionIcon) == IDYES) {
                page_->RemoveLine(this);
            }
            return true;
        }
    }
    const auto cells = cells_;
    for (const auto& cell : cells) {
        if (cell->HandleMessage(message, wParam, lParam, result)) {
            return true;
        }
    }
    return false;
}

} // namespace Plenvo
