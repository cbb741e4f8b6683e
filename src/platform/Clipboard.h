#pragma once
// The clipboard: plain text as UTF-8 and rich text as text/rtf. With a display it is the GTK
// clipboard, shared with other programs; without one it lives in this process.
#include <optional>
#include <string>

namespace platform {

class Clipboard {
public:
    // Puts text, and RTF when given, on the clipboard, replacing what was there.
    static void Set(const std::string& text, const std::optional<std::string>& rtf = {});
    static std::optional<std::string> Text();
    static std::optional<std::string> Rtf();
};

} // namespace platform
