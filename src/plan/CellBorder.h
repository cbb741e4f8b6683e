#pragma once
// A cell's border as the screen and the printed page both draw it: 0.3 mm black, all four sides.
#include "gfx/Graphics.h"
#include "gfx/Pen.h"

#include <array>

namespace Plenvo {

inline void DrawCellBorder(gfx::Graphics& graphics, const gfx::RectF& rect) {
    const gfx::Pen pen(0xFF000000, 0.3);
    const std::array<gfx::PointF, 5> border{
        gfx::PointF{rect.x, rect.y}, gfx::PointF{rect.x + rect.width, rect.y},
        gfx::PointF{rect.x + rect.width, rect.y + rect.height},
        gfx::PointF{rect.x, rect.y + rect.height}, gfx::PointF{rect.x, rect.y}};
    graphics.DrawLines(pen, border);
}

} // namespace Plenvo
