#pragma once
// Reads RTF as common word processors write it into the document model. Whatever the bytes,
// reading ends with a document: malformed input loses only what cannot be understood.
#include "richtext/Document.h"

#include <string_view>

namespace richtext {

class CRtfReader {
public:
    // `defaults` stands for every character property the RTF leaves unspecified (and for \plain);
    // `alignment` is the alignment of plain text that is not RTF at all.
    static CDocument Read(std::string_view rtf, const CharFormat& defaults, Alignment alignment);
    // Whether the bytes start (after white space) with the RTF signature "{\rtf".
    static bool IsRtf(std::string_view bytes);
};

} // namespace richtext
