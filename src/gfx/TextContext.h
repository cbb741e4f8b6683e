#pragma once
// The one pango setup of the program. Text is laid out in millimetres, unhinted, at a fixed
// reference resolution, so a layout made for the screen and one made for a printer break lines
// at the same places and have the same extents; only rasterisation differs. Fonts resolve through
// the program's own fontconfig set, which carries the aliases in plenvo-fonts.conf.
//
// Pango units (PANGO_SCALE) of these layouts are millimetres; point sizes convert at 72 points
// per 25.4 mm. Contexts and font maps are per thread, as pango requires.
#include <pango/pango.h>

#include <memory>

namespace gfx {

struct GObjectDeleter {
    void operator()(void* object) const;
};
template <typename T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

// The text context of the calling thread (owned by gfx, valid until the thread ends).
PangoContext* TextContext();
// A new layout on the calling thread's text context.
GObjectPtr<PangoLayout> CreateTextLayout();
// A new context with the same settings, for engines that want to change context-wide state.
GObjectPtr<PangoContext> CreateTextContext();

// Sets text on a layout, replacing invalid UTF-8 and NUL bytes by U+FFFD so pango accepts it.
void SetLayoutText(PangoLayout* layout, const char* utf8, std::size_t length);

// The resolution the layout metrics are taken at; independent of any device.
inline constexpr double kLayoutReferenceDpi = 600.0;

} // namespace gfx
