#pragma once
// Writes the document model as compact, standard RTF. Text outside ASCII is written twice: as
// \uN for readers that know Unicode and as code-page bytes of its font's character set for
// readers that prefer those, with \ucN saying how many bytes to skip.
#include "richtext/Document.h"

#include <string>

namespace richtext {

class CRtfWriter {
public:
    static std::string Write(const CDocument& document);
};

} // namespace richtext
