#pragma once
// The element of type "edit": a text field drawn inside the tree, with its own rich-text engine
// behind a CTextHost. Login fields, the plan title and the read-only suggestions use it.
#include "view/ViewElement.h"
#include "view/controls/TextHost.h"

#include "gfx/Color.h"

#include <memory>
#include <string>
#include <string_view>

namespace Plenvo {

class CViewEdit : public CViewElement {
public:
    explicit CViewEdit(Json description);
    ~CViewEdit() override;

    void Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                bool registerInLayer) override;
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int layer) override;
    bool ReadProperties() override;
    bool HandleMessage(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                       platform::LRESULT& result) override;

    CTextHost* GetTextHost() const { return textHost_.get(); }
    // The text, plain (login fields read it).
    std::string GetText() const;
    // Replaces the text; a field not laid out yet makes its text host first (pages fill fields
    // right after building them).
    void SetText(std::string_view utf8);
    bool IsAutoHeight() const { return autoHeight_; }
    bool IsMultiline() const { return multiline_; }
    std::int32_t GetMaxLength() const { return maxLength_; }
    std::uint32_t GetEditStyle() const { return editStyle_; }
    double GetContentPadding() const { return contentPadding_; }
    const std::string& GetFontFamily() const { return fontFamily_; }
    gfx::Color GetColor() const { return color_; }
    // The element rectangle less the content padding on every side: where the text lies.
    gfx::RectF TextRect() const;

private:
    void CreateTextHost();
    void ShowContextMenu(platform::LPARAM lParam);

    std::string value_;
    std::string stream_;
    bool password_ = false;
    bool readOnly_ = false;
    bool autoHeight_ = false;
    bool multiline_ = false;
    gfx::Color color_ = 0xFF000000;
    std::int32_t maxLength_ = 80;
    std::uint32_t editStyle_ = 0;
    std::string fontFamily_ = "宋体";
    double contentPadding_ = 0;
    std::shared_ptr<CTextHost> textHost_;
    bool hostTried_ = false;
};

} // namespace Plenvo
