#pragma once
// A solid fill of one ARGB colour.
#include "gfx/Color.h"

namespace gfx {

class SolidBrush {
public:
    explicit SolidBrush(Color color = 0xFF000000) : color_(color) {}
    Color GetColor() const { return color_; }
    void SetColor(Color color) { color_ = color; }

private:
    Color color_;
};

} // namespace gfx
