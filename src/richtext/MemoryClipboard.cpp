#include "richtext/MemoryClipboard.h"

namespace richtext {

bool CMemoryClipboard::SetContent(const std::string& text, const std::string& rtf) {
    if (locked_) {
        return false;
    }
    text_ = text;
    rtf_.reset();
    if (!rtf.empty()) {
        rtf_ = rtf;
    }
    return true;
}

} // namespace richtext
