#include "richtext/PlatformClipboard.h"

#include "platform/Clipboard.h"

namespace richtext {

bool CPlatformClipboard::SetContent(const std::string& text, const std::string& rtf) {
    platform::Clipboard::Set(text, rtf.empty() ? std::nullopt : std::optional<std::string>(rtf));
    return true;
}

std::optional<std::string> CPlatformClipboard::GetText() {
    return platform::Clipboard::Text();
}

std::optional<std::string> CPlatformClipboard::GetRtf() {
    return platform::Clipboard::Rtf();
}

CPlatformClipboard& CPlatformClipboard::Instance() {
    static CPlatformClipboard clipboard;
    return clipboard;
}

} // namespace richtext
