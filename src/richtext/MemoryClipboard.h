#pragma once
// A clipboard kept in memory: for tests and for running without a display.
#include "richtext/IClipboard.h"

namespace richtext {

class CMemoryClipboard : public IClipboard {
public:
    bool SetContent(const std::string& text, const std::string& rtf) override;
    std::optional<std::string> GetText() override { return text_; }
    std::optional<std::string> GetRtf() override { return rtf_; }

    // Lets a test make the clipboard refuse to be taken.
    void SetLocked(bool locked) { locked_ = locked; }

private:
    std::optional<std::string> text_;
    std::optional<std::string> rtf_;
    bool locked_ = false;
};

} // namespace richtext
