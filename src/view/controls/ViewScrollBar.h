#pragma once
// A thin vertical scroll bar whose thumb can be dragged. It keeps its state in device pixels, the
// way a platform scroll bar does (range, page, position, track position, thumb geometry), and
// tells its owner where the thumb went through "scrolltrack" with "track.%.2f" in millimetres.
// Lists, the plan view and the suggestions panel each own one without listing it as a child.
#include "view/ViewElement.h"

#include <cstdint>

namespace Plenvo {

// The scroll information and the mask bits that select its fields, as the platform spells them.
struct ScrollInfo {
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t page = 1;
    std::int32_t position = 0;
    std::int32_t trackPosition = 0;
};
inline constexpr unsigned SIF_RANGE = 0x1;
inline constexpr unsigned SIF_PAGE = 0x2;
inline constexpr unsigned SIF_POS = 0x4;
inline constexpr unsigned SIF_TRACKPOS = 0x10;

class CViewScrollBar : public CViewElement {
public:
    static constexpr gfx::Color kThumbColor = 0x32000000;

    explicit CViewScrollBar(Json description);

    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;

    // Copies the fields the mask selects and recomputes the thumb.
    void SetScrollInfo(const ScrollInfo& info, unsigned mask);
    // The range and the page from lengths in millimetres, at this element's resolution.
    void SetRangeMm(double contentMm, double pageMm);
    // The position in millimetres, kept as whole pixels.
    void SetScrollPos(double mm);
    const ScrollInfo& GetScrollInfo() const { return info_; }
    // Whether the content is taller than the page, so that there is a thumb at all.
    bool HasThumb() const;
    // The thumb in millimetres; empty when there is none.
    gfx::RectF ThumbRect() const;
    bool IsDragging() const { return dragging_; }
    bool IsHovered() const { return hovered_; }

private:
    struct Geometry {
        platform::RectI track;
        // The resolution the track was converted with.
        double dpi = 96.0;
        int thumbTop = 0;
        int thumbBottom = 0;
    };
    // Track rectangle and thumb for the current information and the element's rectangle.
    void ComputeThumb();

    ScrollInfo info_;
    Geometry geometry_;
    bool dragging_ = false;
    bool hovered_ = false;
    ScrollInfo dragInfo_;
    Geometry dragGeometry_;
    gfx::PointF pressPoint_;
};

} // namespace Plenvo
