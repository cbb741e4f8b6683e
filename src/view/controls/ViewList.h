#pragma once
// A vertical list of titled items with hover, checked state, tooltips for shortened titles,
// "click" and "contextmenu" events naming the item ("listitem.%u"), wheel scrolling in steps of
// 10 mm and a thin scroll bar one layer above the list whose thumb can be dragged.
#include "view/ViewElement.h"
#include "view/controls/ViewListItem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Plenvo {

class CViewScrollBar;

class CViewList : public CViewElement {
public:
    static constexpr double kWheelStep = 10.0;
    static constexpr double kScrollBarRoom = 4.0;
    static constexpr std::uint32_t kNoId = 0xFFFFFFFF;
    static constexpr std::size_t kMaxChecked = 10;

    explicit CViewList(Json description);
    ~CViewList() override;

    bool ReadProperties() override;
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;
    // Empties the item list; element children are not touched.
    void ClearChildren() override;

    CViewListItem& AddItem(std::string title, std::string subtitle, std::uint32_t id);
    CViewListItem* GetItem(std::uint32_t id) const;
    bool HasItem(std::uint32_t id) const { return GetItem(id) != nullptr; }
    void SetChecked(std::uint32_t id, bool checked);
    // The ids of the first ten checked items in list order, the rest kNoId.
    std::array<std::uint32_t, kMaxChecked> GetCheckedIds() const;
    const std::vector<std::shared_ptr<CViewListItem>>& Items() const { return items_; }

    // Where the last mouse message over the list was (millimetres): a context menu opens there.
    gfx::PointF GetLastPoint() const { return lastPoint_; }
    double GetScrollOffset() const { return offset_; }
    double GetContentHeight() const { return contentHeight_; }
    const std::shared_ptr<CViewScrollBar>& GetScrollBar() const { return scrollBar_; }

private:
    friend class CViewListItem;
    // Moves every item to its laid-out place shifted by the scroll offset.
    void MoveItems();
    // The offset kept within the content that lies below the list's top.
    double ClampOffset(double offset) const;
    void ScrollTo(double offset);
    int OnScrollTrack(const std::string& parameter);

    std::vector<std::shared_ptr<CViewListItem>> items_;
    CViewListItem::Style style_;
    std::shared_ptr<CViewScrollBar> scrollBar_;
    double offset_ = 0;
    double contentHeight_ = 0;
    gfx::PointF lastPoint_;
};

} // namespace Plenvo
