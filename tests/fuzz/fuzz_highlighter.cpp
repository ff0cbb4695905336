// A statement through the highlighter and back through the RTF reader: the text
// comes back as it was (line breaks made one "\n", two in a row shown as one),
// and every byte that is not blank has the colour of its token class.

#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/RtfReader.h"
#include "sqltext/SqlStatementParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    if (size > 20000) return 0;
    const std::string input(fuzz::Bytes(data, size));
    std::string normalised = input;
    CSqlStatementParser::NormalizeLineBreaks(normalised);
    // The RTF writer takes a break right after another as part of it once more,
    // so an empty line between two others is not shown.
    std::string shownText = normalised;
    CSqlStatementParser::NormalizeLineBreaks(shownText);

    std::string rtf = input;
    CSqlStatementParser().HighlightToRtf(rtf);
    const RtfDocument document = CRtfReader::Read(rtf);
    const std::string text = document.PlainText();
    FUZZ_CHECK(text == shownText, fuzz::Shown(input) + "\nread back: " + fuzz::Shown(text));
    if (shownText != normalised) return 0;  // positions no longer match the token records

    const std::vector<ColorRecord> records = CSqlStatementParser::TokenizeSql(normalised);
    std::size_t record = 0;
    std::int32_t tokenClass = TokenNormalText;
    std::size_t position = 0;
    for (const RtfRun& run : document.m_Runs) {
        for (std::size_t k = 0; k < run.m_Text.size(); ++k, ++position) {
            while (record < records.size() && records[record].m_Position <= static_cast<std::int32_t>(position))
                tokenClass = records[record++].m_Class;
            const unsigned char c = static_cast<unsigned char>(run.m_Text[k]);
            if (c == ' ' || c == '\t' || c == '\n') continue;
            const int index = CSqlStatementParser::ColorIndexOf(tokenClass);
            FUZZ_CHECK(index >= 0 && static_cast<std::size_t>(index) < document.m_ColorTable.size(),
                       fuzz::Shown(input));
            FUZZ_CHECK(run.m_Color == document.m_ColorTable[static_cast<std::size_t>(index)],
                       fuzz::Shown(input) + "\nbyte " + std::to_string(position) + " has the wrong colour");
        }
    }
    return 0;
}
