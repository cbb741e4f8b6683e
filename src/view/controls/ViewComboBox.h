#pragma once
// A drop-down choice box: it shows the chosen entry and an arrow; a click opens the entries right
// below it, one layer above the box so that they paint and take input over what lies beneath; a
// click on an entry chooses it, and the focus moving elsewhere closes the list.
#include "gfx/Bitmap.h"
#include "view/StyleValues.h"
#include "view/ViewElement.h"
#include "view/controls/ViewComboBoxItem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Plenvo {

class CViewComboBox : public CViewElement {
public:
    static constexpr double kIconInset = 2.0;
    static constexpr double kDropGap = 0.1;
    static constexpr gfx::Color kFrameColor = 0xFFCCCCCC;
    static constexpr double kFrameWidth = 0.1;

    explicit CViewComboBox(Json description);
    ~CViewComboBox() override;

    bool ReadProperties() override;
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;
    void InvalidateSelf() override;
    // The base behaviour, then no entry is chosen (the entries stay).
    void ClearChildren() override;

    void AddValue(const std::string& text, std::int32_t value);
    // Chooses the first entry with the value; without one nothing changes.
    void SelectByValue(std::int32_t value);
    // Chooses the entry and closes the list.
    void Select(CViewComboBoxItem* entry);
    // The chosen entry's value, -1 before any choice.
    std::int32_t GetSelectedValue() const;
    void CloseDropDown();

    bool IsOpen() const { return open_; }
    const gfx::RectF& GetDropDownRect() const { return dropRect_; }
    const gfx::RectF& GetIconRect() const { return iconRect_; }
    const std::vector<std::shared_ptr<CViewComboBoxItem>>& Entries() const { return entries_; }
    const CViewComboBoxItem* GetSelected() const { return chosen_.get(); }

private:
    std::int32_t DropLayer() const;

    FontSet font_;
    std::unique_ptr<gfx::Bitmap> icon_;
    gfx::RectF iconRect_;
    gfx::RectF dropRect_;
    bool open_ = false;
    std::vector<std::shared_ptr<CViewComboBoxItem>> entries_;
    std::shared_ptr<CViewComboBoxItem> chosen_;
    gfx::Color dropBackground_ = 0xFF000000;
};

} // namespace Plenvo
