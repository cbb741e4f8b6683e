#pragma once
// A line colour and width in world units (millimetres on every surface of the program).
#include "gfx/Color.h"

namespace gfx {

class Pen {
public:
    Pen(Color color, double width) : color_(color), width_(width) {}
    Color GetColor() const { return color_; }
    double GetWidth() const { return width_; }

private:
    Color color_;
    double width_;
};

} // namespace gfx
