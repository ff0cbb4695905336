// Any bytes read as RTF: the reader ends, never gives two neighbouring runs of
// one colour, and no more text than the input could carry.

#include "FuzzCheck.h"
#include "platform/RtfReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    const std::string_view rtf = fuzz::Bytes(data, size);
    const RtfDocument document = CRtfReader::Read(rtf);
    for (std::size_t i = 1; i < document.m_Runs.size(); ++i) {
        FUZZ_CHECK(!(document.m_Runs[i].m_Color == document.m_Runs[i - 1].m_Color), fuzz::Shown(rtf));
    }
    // \uN is the longest way to make text: at least three bytes for four.
    FUZZ_CHECK(document.PlainText().size() <= 2 * size, fuzz::Shown(rtf));
    return 0;
}
