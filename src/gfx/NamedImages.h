#pragma once
// The pictures the program carries, by resource name ("PNG_ALERT", "PNG_SAVE", ...). Names compare
// without regard to ASCII case, as resource names do on the platform the program came from.
#include "gfx/Bitmap.h"

#include <memory>
#include <span>
#include <string_view>

namespace gfx {

// The embedded PNG bytes of a name; empty when the program has no such picture.
std::span<const unsigned char> FindNamedImage(std::string_view name);
// Decoded afresh on every call; the caller owns the result. None for unknown names.
std::unique_ptr<Bitmap> LoadNamedImage(std::string_view name);

} // namespace gfx
