// Highlighting one large statement (about 60,000 bytes) as the statement sheet does,
// and reading the document back into coloured runs as the desktop's text view does.

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/RtfReader.h"
#include "sqltext/SqlStatementParser.h"

namespace {

std::string LargeStatement(std::size_t size) {
    std::string sql = "SELECT /* monthly revenue by region */ ";
    for (int k = 0; sql.size() < size; ++k) {
        sql += "NVL(t.amount_" + std::to_string(k) + ", 0) AS \"Amount " + std::to_string(k) + "\", ";
        sql += "DECODE(t.status, 'OPEN', " + std::to_string(k * 7) + ", 'it''s closed', 0x1F, 1.5E3),\r\n";
        if (k % 10 == 0) sql += "  -- note {" + std::to_string(k) + "} \\ path\n";
    }
    sql += " 1 FROM sys.v_$sqlarea t WHERE t.rownum < 10 ORDER BY 1 // done";
    return sql;
}

template <typename F>
double MillisecondsPerCall(F&& f) {
    using Clock = std::chrono::steady_clock;
    int calls = 0;
    const auto start = Clock::now();
    double elapsed = 0;
    do {
        f();
        ++calls;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < 0.5 || calls < 5);
    return elapsed / calls * 1000.0;
}

}  // namespace

int main() {
    const std::string sql = LargeStatement(60000);
    const corvid::CSqlStatementParser parser;
    std::string rtf;
    const double highlight = MillisecondsPerCall([&] {
        rtf = sql;
        parser.HighlightToRtf(rtf);
    });
    std::size_t runs = 0;
    const double read = MillisecondsPerCall([&] { runs = corvid::CRtfReader::Read(rtf).m_Runs.size(); });
    std::string plan = sql;
    const double plain = MillisecondsPerCall([&] {
        plan = sql;
        parser.TextToRtf(plan);
    });
    std::printf("statement %zu bytes, RTF document %zu bytes, %zu coloured runs\n", sql.size(), rtf.size(), runs);
    std::printf("HighlightToRtf  %8.3f ms\n", highlight);
    std::printf("TextToRtf       %8.3f ms\n", plain);
    std::printf("CRtfReader::Read %7.3f ms\n", read);
    return 0;
}
