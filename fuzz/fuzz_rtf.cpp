// links: plenvo_richtext
// The RTF reader takes bytes from files, the clipboard and the service. Whatever they are, it
// must end with a document, and the document must survive our own writer unchanged.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    richtext::CharFormat defaults;
    const richtext::CDocument doc =
        richtext::CRtfReader::Read(input, defaults, richtext::Alignment::Left);
    const std::string rtf = richtext::CRtfWriter::Write(doc);
    const richtext::CDocument back =
        richtext::CRtfReader::Read(rtf, defaults, richtext::Alignment::Left);
    if (!doc.SameContent(back)) {
        std::abort();
    }
    return 0;
}
