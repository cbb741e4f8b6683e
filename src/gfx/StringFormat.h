#pragma once
// How text sits in its layout rectangle: alignment along the line and across lines, and the
// no-wrap flag. Without it text wraps at word boundaries (and between CJK characters).
#include <cstdint>

namespace gfx {

enum class StringAlignment { Near = 0, Center = 1, Far = 2 };

class StringFormat {
public:
    static constexpr std::uint32_t kNoWrap = 0x1000;

    explicit StringFormat(std::uint32_t flags = 0) : m_flags(flags) {}

    std::uint32_t GetFlags() const { return m_flags; }
    void SetFlags(std::uint32_t flags) { m_flags = flags; }
    bool NoWrap() const { return (m_flags & kNoWrap) != 0; }

    StringAlignment GetAlignment() const { return m_alignment; }
    void SetAlignment(StringAlignment a) { m_alignment = a; }
    StringAlignment GetLineAlignment() const { return m_lineAlignment; }
    void SetLineAlignment(StringAlignment a) { m_lineAlignment = a; }

private:
    std::uint32_t m_flags;
    StringAlignment m_alignment = StringAlignment::Near;
    StringAlignment m_lineAlignment = StringAlignment::Near;
};

} // namespace gfx
