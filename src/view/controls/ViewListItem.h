#pragma once
// One entry of a list: a title over a subtitle with three backgrounds (normal, hovered, checked).
// Items are not elements: the list owns them, lays them out, paints them and hands them the mouse
// messages that fall on them, performing the root services on their behalf.
#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "platform/Types.h"
#include "view/StyleValues.h"

#include <cstdint>
#include <memory>
#include <string>

namespace gfx {
class Graphics;
}

namespace Plenvo {

class CViewList;

class CViewListItem : public std::enable_shared_from_this<CViewListItem> {
public:
    // The room a title keeps free at its right end; a longer title is shortened with "...".
    static constexpr double kTitleReserve = 8.0;

    struct Style {
        double width = 0;
        double height = 0;
        gfx::Color background = gfx::kNoColor;
        gfx::Color hoverBackground = gfx::kNoColor;
        gfx::Color checkedBackground = gfx::kNoColor;
        std::string titleFont;
        std::string subtitleFont;
        Padding titlePadding;
        Padding subtitlePadding;
    };

    CViewListItem(CViewList* list, const Style& style, std::string title, std::string subtitle,
                  std::uint32_t id);

    // Places the item with its top left corner at the point.
    void Place(gfx::PointF position);
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip);
    // A mouse message whose point lies on the item; true when the item took it.
    bool HandleMessage(platform::UINT message);

    std::uint32_t GetId() const { return id_; }
    const std::string& GetTitle() const { return title_; }
    const std::string& GetSubtitle() const { return subtitle_; }
    void SetSubtitle(std::string subtitle);
    bool IsChecked() const { return checked_; }
    void SetChecked(bool checked);
    bool IsHovered() const { return hovered_; }
    // The full title once painting had to shorten it, else empty.
    const std::string& GetTooltip() const { return tooltip_; }
    // The text the last paint drew for the title.
    const std::string& GetShownTitle() const { return shown_; }
    const gfx::RectF& GetRect() const { return rect_; }
    const gfx::RectF& GetTitleRect() const { return titleRect_; }
    const gfx::RectF& GetSubtitleRect() const { return subtitleRect_; }
    gfx::PointF GetLastPosition() const { return lastPosition_; }
    void SetLastPosition(gfx::PointF position) { lastPosition_ = position; }

private:
    void Invalidate();
    // The title as it fits the title rectangle less the reserve, measured in this graphics.
    void FitTitle(gfx::Graphics& graphics);

    std::string title_;
    std::string subtitle_;
    std::uint32_t id_;
    CViewList* list_;
    gfx::RectF rect_;
    gfx::Color background_;
    gfx::Color hoverBackground_;
    gfx::Color checkedBackground_;
    FontSet titleFont_;
    FontSet subtitleFont_;
    gfx::RectF titleRect_;
    gfx::RectF subtitleRect_;
    bool hovered_ = false;
    bool checked_ = false;
    gfx::PointF lastPosition_;
    Padding titlePadding_;
    Padding subtitlePadding_;
    std::string tooltip_;
    // The fitted title and the width and resolution it was fitted for.
    std::string shown_;
    double shownWidth_ = -1;
    double shownDpi_ = 0;
};

} // namespace Plenvo
