#include "CellText.h"

#include "platform/Encoding.h"
#include "richtext/RtfReader.h"

namespace PlenvoService {

std::string CellValueToText(std::string_view value) {
    static constexpr std::string_view kPrefix = "__RTF__";
    if (!value.starts_with(kPrefix)) {
        return std::string(value);
    }
    const richtext::CDocument document = richtext::CRtfReader::Read(
        value.substr(kPrefix.size()), richtext::CharFormat{}, richtext::Alignment::Left);
    std::string text = platform::Utf32ToUtf8(document.Text());
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

} // namespace PlenvoService
