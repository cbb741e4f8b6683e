#pragma once
// One entry of a combo box's drop-down: a text and an integer value, lit under the pointer. Its
// root services go through the box, which owns it without listing it as a child.
#include "view/StyleValues.h"
#include "view/ViewElement.h"

#include <cstdint>
#include <string>

namespace Plenvo {

class CViewComboBox;

class CViewComboBoxItem : public CViewElement {
public:
    CViewComboBoxItem(Json description, CViewComboBox* box);

    bool ReadProperties() override;
    // Placed at the origin and sized from the space; no children, alignment or layers.
    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;

    std::int32_t GetValue() const { return value_; }
    void SetValue(std::int32_t value) { value_ = value; }
    const std::string& GetText() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }
    bool IsHovered() const { return hovered_; }
    // Draws the text in a rectangle with the entry's font (the box shows its choice this way).
    void DrawText(gfx::Graphics& graphics, const gfx::RectF& rect) const;

private:
    std::int32_t value_ = 0;
    std::string text_;
    FontSet font_;
    bool hovered_ = false;
    CViewComboBox* box_;
};

} // namespace Plenvo
