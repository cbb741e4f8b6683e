#include "gfx/NamedImages.h"

#include "gfx/EmbeddedResources.h"

#include <algorithm>
#include <cctype>

namespace gfx {

std::span<const unsigned char> FindNamedImage(std::string_view name) {
    auto same = [](std::string_view a, std::string_view b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) ==
                   std::toupper(static_cast<unsigned char>(y));
        });
    };
    for (const EmbeddedImage& image : EmbeddedImages()) {
        if (same(image.name, name)) {
            return {image.data, image.size};
        }
    }
    return {};
}

std::unique_ptr<Bitmap> LoadNamedImage(std::string_view name) {
    const auto bytes = FindNamedImage(name);
    return bytes.empty() ? nullptr : Bitmap::FromBytes(bytes);
}

} // namespace gfx
