// links: plenvo_richtext
// The RTF reader takes bytes from files, the clipboard and the service. Whatever they are, it
// must end with a document, and the document must survive our own writer unchanged.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool Same(const richtext::CDocument& a, const richtext::CDocument& b) {
    if (a.Paragraphs().size() != b.Paragraphs().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.Paragraphs().size(); ++i) {
        const auto& pa = a.Paragraphs()[i];
        const auto& pb = b.Paragraphs()[i];
        if (pa.text != pb.text || pa.alignment != pb.alignment ||
            pa.runs.size() != pb.runs.size()) {
            return false;
        }
        for (std::size_t k = 0; k < pa.runs.size(); ++k) {
            if (pa.runs[k].length != pb.runs[k].length ||
                !(a.Format(pa.runs[k].format) == b.Format(pb.runs[k].format))) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    richtext::CharFormat defaults;
    const richtext::CDocument doc =
        richtext::CRtfReader::Read(input, defaults, richtext::Alignment::Left);
    const std::string rtf = richtext::CRtfWriter::Write(doc);
    const richtext::CDocument back =
        richtext::CRtfReader::Read(rtf, defaults, richtext::Alignment::Left);
    if (!Same(doc, back)) {
        std::abort();
    }
    return 0;
}
