#pragma once
// The grammar of style texts in element descriptions: colours, font specs, pens, paddings, sizes,
// cursors and image references. Every parser is a pure function; malformed text falls back to a
// default and never fails. Patterns are searched anywhere in the text and numbers inside a match
// convert as the C library's atoi and atof do.
#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Font.h"
#include "gfx/Pen.h"
#include "gfx/SolidBrush.h"
#include "gfx/StringFormat.h"
#include "view/Cursor.h"
#include "view/SizeValue.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string_view>

namespace Plenvo {

// Stored left, top, right, bottom; the text gives top, right, bottom, left.
struct Padding {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    bool operator==(const Padding&) const = default;
};

struct FontSet {
    std::unique_ptr<gfx::Font> font;
    std::unique_ptr<gfx::StringFormat> format;
    std::unique_ptr<gfx::SolidBrush> brush;
};

// "argb(a,r,g,b)" or "rgb(r,g,b)" (any case, no blanks); each component keeps its low byte.
// Empty text gives the default, anything else unmatched gives 0x00FFFFFF.
gfx::Color ParseColor(std::string_view text, gfx::Color defaultColor = gfx::kNoColor);
// "family:...;size:...;color:...;bold;italic;underline;strikeout;line-align-*;string-align-*".
FontSet ParseFont(std::string_view text);
// "argb(...),w:0.1": none when the text has no usable colour.
std::unique_ptr<gfx::Pen> ParsePen(std::string_view text);
// Four numbers "top,right,bottom,left"; zeros when they are not there.
Padding ParsePadding(std::string_view text);
SizeValue ReadSize(const nlohmann::json& object, std::string_view key);
// Exactly "hand" or "arrow"; anything else is none.
Cursor ParseCursor(std::string_view text);
// A named picture of the program, else "file:///<path>" from disk, else none.
std::unique_ptr<gfx::Bitmap> LoadImage(std::string_view name);

} // namespace Plenvo
