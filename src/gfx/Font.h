#pragma once
// A font by family, em size in millimetres and the style bits bold 1, italic 2, underline 4,
// strikeout 8. It turns into a pango description with an absolute size in the millimetre units
// of the program's text contexts (TextContext.h); underline and strikeout are layout attributes.
#include <pango/pango.h>

#include <memory>
#include <string>

namespace gfx {

enum FontStyle : int {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

class Font {
public:
    // Sizes beyond what a page can show are capped so a hostile description cannot make the
    // rasteriser allocate glyphs of many megabytes; a size that is not positive makes an unusable
    // font that draws nothing.
    static constexpr double kMaxSizeMm = 500.0;

    Font(std::string family, double emSizeMm, int style = FontStyleRegular);

    const std::string& GetFamily() const { return family_; }
    double GetSize() const { return size_; }
    int GetStyle() const { return style_; }
    bool IsUsable() const { return size_ > 0; }

    // Owned by the font; valid while it lives.
    const PangoFontDescription* Description() const { return description_.get(); }
    // Sets the description and the underline/strikeout attributes on a layout.
    void ApplyTo(PangoLayout* layout) const;

private:
    struct DescriptionDeleter {
        void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
    };
    std::string family_;
    double size_;
    int style_;
    std::unique_ptr<PangoFontDescription, DescriptionDeleter> description_;
};

} // namespace gfx
