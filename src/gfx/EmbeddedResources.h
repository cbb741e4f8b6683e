#pragma once
// Data compiled into the program at build time (EmbedResources.cmake): the fontconfig aliases and
// the named PNG images of res/images, so the program works uninstalled and from any folder.
#include <cstddef>
#include <span>
#include <string_view>

namespace gfx {

struct EmbeddedImage {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

std::string_view FontAliasConfiguration();
std::span<const EmbeddedImage> EmbeddedImages();

} // namespace gfx
