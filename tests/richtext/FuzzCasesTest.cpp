#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"

#include "DocumentSamples.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace richtext {
namespace {

// Every input the fuzz target ever failed on still reads into a document that our writer
// carries through unchanged.
TEST(RtfFuzzCases, EachFormerFailureNowRoundTrips) {
    int cases = 0;
    for (const auto& entry : std::filesystem::directory_iterator(RICHTEXT_FUZZ_CASES)) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        const CDocument doc = CRtfReader::Read(bytes.str(), CharFormat{}, Alignment::Left);
        const CDocument back =
            CRtfReader::Read(CRtfWriter::Write(doc), CharFormat{}, Alignment::Left);
        EXPECT_TRUE(testing::SameContent(doc, back)) << entry.path();
        ++cases;
    }
    EXPECT_GT(cases, 0);
}

} // namespace
} // namespace richtext
