#pragma once
// How text sits in its layout rectangle: alignment along the line and across lines, and the
// no-wrap flag. Without it text wraps at word boundaries (and between CJK characters).
#include <cstdint>

namespace gfx {

enum class StringAlignment { Near = 0, Center = 1, Far = 2 };

class StringFormat {
public:
    static constexpr std::uint32_t kNoWrap = 0x1000;

    explicit StringFormat(std::uint32_t flags = 0) : flags_(flags) {}

    std::uint32_t GetFlags() const { return flags_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }
    bool NoWrap() const { return (flags_ & kNoWrap) != 0; }

    StringAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(StringAlignment a) { alignment_ = a; }
    StringAlignment GetLineAlignment() const { return lineAlignment_; }
    void SetLineAlignment(StringAlignment a) { lineAlignment_ = a; }

private:
    std::uint32_t flags_;
    StringAlignment alignment_ = StringAlignment::Near;
    StringAlignment lineAlignment_ = StringAlignment::Near;
};

} // namespace gfx
