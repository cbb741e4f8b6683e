#pragma once
// The clipboard as the engine sees it: plain text (UTF-8) and rich text (RTF). The platform's
// clipboard plugs in behind it; tests use CMemoryClipboard.
#include <optional>
#include <string>

namespace richtext {

class IClipboard {
public:
    virtual ~IClipboard() = default;
    // Replaces the clipboard's content; an empty `rtf` offers plain text only. False when the
    // clipboard could not be taken, in which case it is unchanged.
    virtual bool SetContent(const std::string& text, const std::string& rtf) = 0;
    virtual std::optional<std::string> GetText() = 0;
    virtual std::optional<std::string> GetRtf() = 0;
};

} // namespace richtext
