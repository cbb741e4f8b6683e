#pragma once
// A line colour and width in world units (millimetres on every surface of the program).
#include "gfx/Color.h"

namespace gfx {

class Pen {
public:
    Pen(Color color, double width) : m_color(color), m_width(width) {}
    Color GetColor() const { return m_color; }
    double GetWidth() const { return m_width; }

private:
    Color m_color;
    double m_width;
};

} // namespace gfx
