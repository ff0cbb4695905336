// The simulated server's parser on any text: it returns a statement or raises an
// Oracle error, never crashes, and nesting of any depth ends in ORA-01778,
// ORA-03095 or PLS-00102 rather than a stack overflow.

#include <string>

#include "FuzzCheck.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/PlSql.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    // Deep nesting is the point: the input's first byte repeats its second part.
    if (size > 2 && data[0] == '~') {
        const std::string piece = text.substr(1);
        text.clear();
        for (int i = 0; i < 20000 && text.size() < (1u << 20); ++i)
            text += piece;
    }
    for (int form = 0; form < 2; ++form) {
        try {
            if (form == 0) {
                ocisim::Parser(text).ParseStatement();
            } else {
                ocisim::ParsePlSql(text, false);
            }
        } catch (const ocisim::OraException& error) {
            FUZZ_CHECK(error.error.code > 0, corvid::fuzz::Shown(text.substr(0, 200)));
        }
    }
    return 0;
}
