#pragma once
// One text drawn in the content rectangle with the font, alignment and colour its "font" member
// names. A label whose "font" names no colour draws no visible text but still paints its
// background.
#include "view/StyleValues.h"
#include "view/ViewElement.h"

namespace Plenvo {

class CViewLabel : public CViewElement {
public:
    explicit CViewLabel(Json description);

    bool ReadProperties() override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;

    const std::string& GetValue() const { return value_; }
    void SetValue(std::string value);

private:
    std::string value_;
    FontSet font_;
};

} // namespace Plenvo
