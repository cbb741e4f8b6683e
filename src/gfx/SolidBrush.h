#pragma once
// A solid fill of one ARGB colour.
#include "gfx/Color.h"

namespace gfx {

class SolidBrush {
public:
    explicit SolidBrush(Color color = 0xFF000000) : m_color(color) {}
    Color GetColor() const { return m_color; }
    void SetColor(Color color) { m_color = color; }

private:
    Color m_color;
};

} // namespace gfx
