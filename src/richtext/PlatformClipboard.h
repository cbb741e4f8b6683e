#pragma once
// The engine's clipboard on the platform's: the desktop clipboard with a display, an in-process
// one without.
#include "richtext/IClipboard.h"

namespace richtext {

class CPlatformClipboard : public IClipboard {
public:
    bool SetContent(const std::string& text, const std::string& rtf) override;
    std::optional<std::string> GetText() override;
    std::optional<std::string> GetRtf() override;

    // The one instance hosts hand to their engines.
    static CPlatformClipboard& Instance();
};

} // namespace richtext
