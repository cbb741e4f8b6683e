#pragma once
// The element of type "edit": a text field drawn inside the tree, with its own rich-text engine
// behind a CTextHost. Login fields, the plan title and the read-only suggestions use it.
#include "view/ViewElement.h"
#include "view/controls/TextHost.h"

#include "gfx/Color.h"

#include <memory>
#include <string>

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

    CTextHost* GetTextHost() const { return m_textHost.get(); }
    // The text, plain (login fields read it).
    std::string GetText() const;
    bool IsAutoHeight() const { return m_autoHeight; }
    bool IsMultiline() const { return m_multiline; }
    std::int32_t GetMaxLength() const { return m_maxLength; }
    std::uint32_t GetEditStyle() const { return m_editStyle; }
    double GetContentPadding() const { return m_contentPadding; }
    const std::string& GetFontFamily() const { return m_fontFamily; }
    gfx::Color GetColor() const { return m_color; }
    // The element rectangle less the content padding on every side: where the text lies.
    gfx::RectF TextRect() const;

private:
    void CreateTextHost();
    void ShowContextMenu(platform::LPARAM lParam);

    std::string m_value;
    std::string m_stream;
    bool m_password = false;
    bool m_readOnly = false;
    bool m_autoHeight = false;
    bool m_multiline = false;
    gfx::Color m_color = 0xFF000000;
    std::int32_t m_maxLength = 80;
    std::uint32_t m_editStyle = 0;
    std::string m_fontFamily = "宋体";
    double m_contentPadding = 0;
    std::shared_ptr<CTextHost> m_textHost;
    bool m_hostTried = false;
};

} // namespace Plenvo
