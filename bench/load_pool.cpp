// Figures of the shared-pool load: the large scenario loaded with texts and
// without analysis through each client generation, against a bare loop that
// fetches the same rows through the client library with no product code; the
// analysis of the demo; the memory the large load takes, per entry; and, when
// pool sizes are given, how the load and the bare fetch grow with the pool.
// Every time is the median of RUNS runs with its range, ours and the bare loop
// alternating.
//
// Usage: bench_load_pool [LARGE_SCENARIO [DEMO_SCENARIO [RUNS [SIZES]]]]
//   RUNS: 3 unless given; SIZES: pool sizes for the growth figures, separated
//   by commas (e.g. 100000,200000,300000), none unless given.

#include <dlfcn.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "bench/BenchFigures.h"
#include "collection/CorvidDoc.h"
#include "oracle/OciTypes.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

using namespace corvid;
using namespace corvid::oci;
using corvid::bench::ProcessorSeconds;
using corvid::bench::SFigure;
using corvid::bench::Summarise;

namespace {

const char* kUser = "SCOTT";
const char* kPassword = "TIGER";
const char* kDatabase = "DEMO";

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

long CurrentRssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct SFetched {
    long statementRows = 0;
    long textRows = 0;
    double seconds = 0;
    double cpuSeconds = 0;
};

// The columns of the statement load, as the client delivers them.
struct SRowBuffers {
    static constexpr int kRows = 100;
    double numbers[10][kRows];
    int integers[3][kRows];
    char optimizerMode[kRows][26];
    char address[kRows][17];
    char firstLoadTime[kRows][20];
    short indicators[16][kRows];
    char textAddress[kRows][17];
    char piece[kRows][65];
    short textIndicators[2][kRows];
};

void* Symbol(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "missing %s\n", name);
        std::exit(1);
    }
    return symbol;
}

void* OpenLibrary(const char* name) {
    const std::string path = std::string(CORVID_SIM_LIBDIR) + "/" + name;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        std::exit(1);
    }
    return library;
}

// The release-8 calls alone: logon, then the statement query and the text query,
// each defined once and fetched 100 rows at a time.
SFetched BareFetch8(const std::string& loadSql, const std::string& textSql) {
    void* lib = OpenLibrary("libclntsh.so");
    auto initialize = reinterpret_cast<Fn_OCIInitialize>(Symbol(lib, "OCIInitialize"));
    auto envInit = reinterpret_cast<Fn_OCIEnvInit>(Symbol(lib, "OCIEnvInit"));
    auto handleAlloc = reinterpret_cast<Fn_OCIHandleAlloc>(Symbol(lib, "OCIHandleAlloc"));
    auto handleFree = reinterpret_cast<Fn_OCIHandleFree>(Symbol(lib, "OCIHandleFree"));
    auto logon = reinterpret_cast<Fn_OCILogon>(Symbol(lib, "OCILogon"));
    auto logoff = reinterpret_cast<Fn_OCILogoff>(Symbol(lib, "OCILogoff"));
    auto prepare = reinterpret_cast<Fn_OCIStmtPrepare>(Symbol(lib, "OCIStmtPrepare"));
    auto define = reinterpret_cast<Fn_OCIDefineByPos>(Symbol(lib, "OCIDefineByPos"));
    auto execute = reinterpret_cast<Fn_OCIStmtExecute>(Symbol(lib, "OCIStmtExecute"));
    auto fetch = reinterpret_cast<Fn_OCIStmtFetch>(Symbol(lib, "OCIStmtFetch"));
    auto attrGet = reinterpret_cast<Fn_OCIAttrGet>(Symbol(lib, "OCIAttrGet"));

    initialize(OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr);
    OCIEnv* env = nullptr;
    envInit(&env, OCI_DEFAULT, 0, nullptr);
    OCIError* err = nullptr;
    handleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    OCISvcCtx* svc = nullptr;
    if (logon(env, err, &svc, reinterpret_cast<const OraText*>(kUser), std::strlen(kUser),
              reinterpret_cast<const OraText*>(kPassword), std::strlen(kPassword),
              reinterpret_cast<const OraText*>(kDatabase), std::strlen(kDatabase)) != OCI_SUCCESS) {
        std::fprintf(stderr, "bare OCI8 logon failed\n");
        std::exit(1);
    }
    auto buffers = std::make_unique<SRowBuffers>();
    SFetched fetched;
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessorSeconds();

    auto run = [&](const std::string& sql, bool texts) {
        OCIStmt* stmt = nullptr;
        handleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
        prepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()), sql.size(), OCI_NTV_SYNTAX, OCI_DEFAULT);
        OCIDefine* d = nullptr;
        SRowBuffers& b = *buffers;
        if (texts) {
            define(stmt, &d, err, 1, b.textAddress, 17, SQLT_STR, b.textIndicators[0], nullptr, nullptr, 0);
            define(stmt, &d, err, 2, b.piece, 65, SQLT_STR, b.textIndicators[1], nullptr, nullptr, 0);
        } else {
            for (ub4 i = 0; i < 10; ++i) {
                define(stmt, &d, err, i + 1, b.numbers[i], sizeof(double), SQLT_FLT, b.indicators[i], nullptr, nullptr,
                       0);
            }
            define(stmt, &d, err, 11, b.integers[0], 4, SQLT_INT, b.indicators[10], nullptr, nullptr, 0);
            define(stmt, &d, err, 12, b.optimizerMode, 26, SQLT_STR, b.indicators[11], nullptr, nullptr, 0);
            define(stmt, &d, err, 13, b.integers[1], 4, SQLT_INT, b.indicators[12], nullptr, nullptr, 0);
            define(stmt, &d, err, 14, b.integers[2], 4, SQLT_INT, b.indicators[13], nullptr, nullptr, 0);
            define(stmt, &d, err, 15, b.address, 17, SQLT_STR, b.indicators[14], nullptr, nullptr, 0);
            define(stmt, &d, err, 16, b.firstLoadTime, 20, SQLT_STR, b.indicators[15], nullptr, nullptr, 0);
        }
        execute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
        ub4 before = 0, after = 0;
        for (;;) {
            attrGet(stmt, OCI_HTYPE_STMT, &before, nullptr, OCI_ATTR_ROW_COUNT, err);
            const sword rc = fetch(stmt, err, SRowBuffers::kRows, OCI_FETCH_NEXT, OCI_DEFAULT);
            attrGet(stmt, OCI_HTYPE_STMT, &after, nullptr, OCI_ATTR_ROW_COUNT, err);
            (texts ? fetched.textRows : fetched.statementRows) += after - before;
            if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) break;
            if (after - before < static_cast<ub4>(SRowBuffers::kRows)) break;
        }
        handleFree(stmt, OCI_HTYPE_STMT);
    };
    run(loadSql, false);
    run(textSql, true);
    fetched.seconds = SecondsSince(start);
    fetched.cpuSeconds = ProcessorSeconds() - cpuStart;
    logoff(svc, err);
    handleFree(err, OCI_HTYPE_ERROR);
    dlclose(lib);
    return fetched;
}

// The release-7 calls alone, the same two queries.
SFetched BareFetch7(const std::string& loadSql, const std::string& textSql) {
    void* lib = OpenLibrary("libociw32.so");
    auto olog = reinterpret_cast<Fn_olog>(Symbol(lib, "olog"));
    auto ologof = reinterpret_cast<Fn_ologof>(Symbol(lib, "ologof"));
    auto oopen = reinterpret_cast<Fn_oopen>(Symbol(lib, "oopen"));
    auto oclose = reinterpret_cast<Fn_oclose>(Symbol(lib, "oclose"));
    auto oparse = reinterpret_cast<Fn_oparse>(Symbol(lib, "oparse"));
    auto odefin = reinterpret_cast<Fn_odefin>(Symbol(lib, "odefin"));
    auto oexec = reinterpret_cast<Fn_oexec>(Symbol(lib, "oexec"));
    auto ofen = reinterpret_cast<Fn_ofen>(Symbol(lib, "ofen"));

    alignas(8) unsigned char lda[kCdaSize] = {};
    alignas(8) unsigned char hda[kHdaSize] = {};
    if (olog(lda, hda, (OraText*)kUser, -1, (OraText*)kPassword, -1, (OraText*)kDatabase, -1, 0) != 0) {
        std::fprintf(stderr, "bare OCI7 logon failed\n");
        std::exit(1);
    }
    auto buffers = std::make_unique<SRowBuffers>();
    SFetched fetched;
    const Clock::time_point start = Clock::now();
    auto run = [&](const std::string& sql, bool texts) {
        alignas(8) unsigned char cda[kCdaSize] = {};
        oopen(cda, lda, nullptr, -1, -1, nullptr, -1);
        oparse(cda, (OraText*)sql.c_str(), -1, 1, 1);
        SRowBuffers& b = *buffers;
        auto def = [&](int pos, void* buf, int size, int type, short* ind) {
            odefin(cda, pos, static_cast<ub1*>(buf), size, type, -1, ind, nullptr, -1, -1, nullptr, nullptr);
        };
        if (texts) {
            def(1, b.textAddress, 17, SQLT_STR, b.textIndicators[0]);
            def(2, b.piece, 65, SQLT_STR, b.textIndicators[1]);
        } else {
            for (int i = 0; i < 10; ++i)
                def(i + 1, b.numbers[i], sizeof(double), SQLT_FLT, b.indicators[i]);
            def(11, b.integers[0], 4, SQLT_INT, b.indicators[10]);
            def(12, b.optimizerMode, 26, SQLT_STR, b.indicators[11]);
            def(13, b.integers[1], 4, SQLT_INT, b.indicators[12]);
            def(14, b.integers[2], 4, SQLT_INT, b.indicators[13]);
            def(15, b.address, 17, SQLT_STR, b.indicators[14]);
            def(16, b.firstLoadTime, 20, SQLT_STR, b.indicators[15]);
        }
        oexec(cda);
        for (;;) {
            ub4 before = 0, after = 0;
            std::memcpy(&before, cda + kCdaRowsProcessedOffset, sizeof before);
            const sword rc = ofen(cda, SRowBuffers::kRows);
            std::memcpy(&after, cda + kCdaRowsProcessedOffset, sizeof after);
            (texts ? fetched.textRows : fetched.statementRows) += after - before;
            if (rc != 0 || after - before < static_cast<ub4>(SRowBuffers::kRows)) break;
        }
        oclose(cda);
    };
    run(loadSql, false);
    run(textSql, true);
    fetched.seconds = SecondsSince(start);
    ologof(lda);
    dlclose(lib);
    return fetched;
}

struct SLoaded {
    long statements = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    long rssBeforeKb = 0;
    long rssAfterKb = 0;
    std::size_t collectionBytes = 0;
    std::size_t heapBytes = 0;  // what releasing the collection gave back to the allocator
    std::size_t textBytes = 0;  // the statement texts' own allocations
};

std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t CollectionBytes(const CObjectArray& collection) {
    std::size_t bytes = static_cast<std::size_t>(collection.GetSize()) * sizeof(CObjectEntry);
    for (const CObjectEntry& e : collection) {
        if (e.m_SqlText.capacity() > 15) bytes += e.m_SqlText.capacity() + 1;  // beyond the short-string buffer
        // A plan kept from the previous load is shared with it; counted here as if it were not.
        for (const CSharedText* text : {&e.SqlPlan(), &e.ErrorMessage(), &e.DebugField()}) {
            if (!text->empty()) bytes += text->size() + 1;
        }
        // The shared texts (user, optimizer mode, module) are counted once per load, which is not done here;
        // the packed ones lie in the entry unless they have no packed form.
        for (const CPackedText* text : {&e.m_Address, &e.m_SqlId}) {
            CPackedText::Buffer buffer;
            if (text->View(buffer).data() != buffer && text->size() > CPackedText::kInlineCapacity)
                bytes += text->size() + 1;
        }
    }
    return bytes;
}

std::unique_ptr<COracleConnection> Connect(int version) {
    auto connection = std::make_unique<COracleConnection>(
        nullptr, version, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{CORVID_SIM_LIBDIR}));
    if (!connection->Logon(kUser, kPassword, kDatabase, EConnectMode::Normal)) {
        std::fprintf(stderr, "logon failed: %s\n", connection->GetErrorText().c_str());
        std::exit(1);
    }
    return connection;
}

// `loads` loads in one document: from the second on, the entries carry their
// figures against the previous load; the last load is timed and measured.
SLoaded ProductLoad(int version, std::string* loadSql, std::string* textSql, int loads = 1) {
    auto connection = Connect(version);
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    SLoaded loaded;
    {
        CCorvidDoc doc(connection.get(), store, prompter, nullptr);
        doc.SetSaveOnDestroy(false);
        doc.m_Analyze = 0;
        if (loadSql != nullptr) *loadSql = doc.BuildLoadStatement();
        if (textSql != nullptr) *textSql = doc.BuildTextStatement();
        for (int i = 1; i < loads; ++i)
            doc.LoadJob(nullptr);
        loaded.rssBeforeKb = CurrentRssKb();
        const Clock::time_point start = Clock::now();
        const double cpuStart = ProcessorSeconds();
        doc.LoadJob(nullptr);
        loaded.seconds = SecondsSince(start);
        loaded.cpuSeconds = ProcessorSeconds() - cpuStart;
        loaded.rssAfterKb = CurrentRssKb();
        loaded.statements = static_cast<long>(doc.GetCollection().GetSize());
        loaded.collectionBytes = CollectionBytes(doc.GetCollection());
        for (const CObjectEntry& e : doc.GetCollection())
            if (e.m_SqlText.capacity() > 15) loaded.textBytes += e.m_SqlText.capacity() + 1;
        const std::size_t heldHeap = HeapInUse();
        doc.GetCollection() = CObjectArray();
        loaded.heapBytes = heldHeap - std::min(heldHeap, HeapInUse());
    }
    connection->Logoff();
    return loaded;
}

void PrintTimes(const char* label, const std::vector<double>& seconds) {
    const SFigure f = Summarise(seconds);
    std::printf("%s %.3f s [%.3f .. %.3f]", label, f.median, f.low, f.high);
}

std::vector<long> ParseSizes(const char* text) {
    std::vector<long> sizes;
    for (const char* p = text; p != nullptr && *p != '\0';) {
        char* end = nullptr;
        const long n = std::strtol(p, &end, 10);
        if (end == p) break;
        if (n > 0) sizes.push_back(n);
        p = *end == ',' ? end + 1 : end;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string large = argc > 1 ? argv[1] : "bench";
    const std::string demo = argc > 2 ? argv[2] : "demo";
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
    const std::vector<long> sizes = ParseSizes(argc > 4 ? argv[4] : nullptr);
    CRecordingPrompter quiet;
    SetPrompter(&quiet);

    setenv("CORVID_SIM_SCENARIO", large.c_str(), 1);
    std::printf("Shared-pool load, scenario '%s', texts on, analysis off; medians of %d runs [range]\n", large.c_str(),
                runs);
    for (int version : {8, 7}) {
        std::string loadSql, textSql;
        // A first load warms the server up (it builds the scenario on first use).
        ProductLoad(version, &loadSql, &textSql);
        std::vector<double> ours, bare;
        SLoaded product;
        SFetched fetched;
        for (int i = 0; i < runs; ++i) {
            product = ProductLoad(version, nullptr, nullptr);
            ours.push_back(product.seconds);
            fetched = version == 8 ? BareFetch8(loadSql, textSql) : BareFetch7(loadSql, textSql);
            bare.push_back(fetched.seconds);
        }
        const SFigure o = Summarise(ours), b = Summarise(bare);
        std::printf("  OCI%d: %ld statements", version, product.statements);
        PrintTimes(" in", ours);
        std::printf(" = %.0f statements/s; bare fetch of %ld statement rows and %ld text rows", product.statements / o.median,
                    fetched.statementRows, fetched.textRows);
        PrintTimes(" in", bare);
        std::printf("; ratio %.2f\n", o.median / b.median);
        if (version == 8) {
            const double perEntry = product.statements > 0 ? double(product.heapBytes) / product.statements : 0;
            const double textPerEntry = product.statements > 0 ? double(product.textBytes) / product.statements : 0;
            std::printf(
                "  memory: collection %.1f MiB (entries and texts); resident set %ld -> %ld KiB during "
                "the load; peak resident set %ld KiB (the simulated server lives in this process)\n",
                product.collectionBytes / 1048576.0, product.rssBeforeKb, product.rssAfterKb, PeakRssKb());
            std::printf(
                "  entry: sizeof(CObjectEntry) %zu bytes; measured %.0f bytes per entry on the heap (allocator "
                "figures before and after releasing the collection), %.0f of them text; own overhead %.0f bytes "
                "(target under 300)\n",
                sizeof(CObjectEntry), perEntry, textPerEntry, perEntry - textPerEntry);
            const SLoaded second = ProductLoad(version, nullptr, nullptr, 2);
            const double secondPerEntry = second.statements > 0 ? double(second.heapBytes) / second.statements : 0;
            const double secondText = second.statements > 0 ? double(second.textBytes) / second.statements : 0;
            std::printf(
                "  entry of a second load (with its figures against the first): measured %.0f bytes per entry on "
                "the heap, %.0f of them text; own overhead %.0f bytes\n",
                secondPerEntry, secondText, secondPerEntry - secondText);
        }
    }

    if (!sizes.empty()) {
        std::printf("Growth with the pool (scenario 'bench:N', OCI8, texts on, analysis off); medians of %d runs "
                    "[range]\n", runs);
        double firstOurs = 0, firstBare = 0, firstOursCpu = 0, firstBareCpu = 0;
        long firstSize = 0;
        for (long size : sizes) {
            const std::string scenario = "bench:" + std::to_string(size);
            setenv("CORVID_SIM_SCENARIO", scenario.c_str(), 1);
            std::string loadSql, textSql;
            ProductLoad(8, &loadSql, &textSql);
            std::vector<double> ours, bare, oursCpu, bareCpu;
            long statements = 0;
            for (int i = 0; i < runs; ++i) {
                const SLoaded product = ProductLoad(8, nullptr, nullptr);
                statements = product.statements;
                ours.push_back(product.seconds);
                oursCpu.push_back(product.cpuSeconds);
                const SFetched fetched = BareFetch8(loadSql, textSql);
                bare.push_back(fetched.seconds);
                bareCpu.push_back(fetched.cpuSeconds);
            }
            const SFigure o = Summarise(ours), b = Summarise(bare);
            const SFigure oc = Summarise(oursCpu), bc = Summarise(bareCpu);
            std::printf("  %7ld statements: load", statements);
            PrintTimes("", ours);
            PrintTimes(" (processor", oursCpu);
            PrintTimes("); bare fetch", bare);
            PrintTimes(" (processor", bareCpu);
            std::printf(")");
            if (firstSize == 0) {
                firstSize = size;
                firstOurs = o.median;
                firstBare = b.median;
                firstOursCpu = oc.median;
                firstBareCpu = bc.median;
                std::printf("\n");
            } else {
                std::printf(
                    "; against %ld: %.2f times the pool, load %.2f times the time (processor %.2f), bare fetch %.2f "
                    "(processor %.2f)\n",
                    firstSize, double(size) / firstSize, o.median / firstOurs, oc.median / firstOursCpu,
                    b.median / firstBare, bc.median / firstBareCpu);
            }
        }
        setenv("CORVID_SIM_SCENARIO", large.c_str(), 1);
    }
    setenv("CORVID_SIM_SCENARIO", demo.c_str(), 1);
    std::printf("Analysis, scenario '%s'\n", demo.c_str());
    for (int version : {8, 7}) {
        auto connection = Connect(version);
        CSession session(*connection);
        if (!session.CheckPlanTable() || !session.CreateExplainProcedure()) {
            std::fprintf(stderr, "cannot install the explain procedure\n");
            return 1;
        }
        CMemorySettingsStore store;
        CCorvidDoc doc(connection.get(), store, quiet, nullptr);
        doc.SetSaveOnDestroy(false);
        doc.m_Analyze = 0;
        doc.LoadJob(nullptr);
        const Clock::time_point start = Clock::now();
        doc.AnalyzeStatements();
        const double seconds = SecondsSince(start);
        long explained = 0;
        for (const CObjectEntry& e : doc.GetCollection())
            explained += e.m_Status == 0 ? 1 : 0;
        std::printf("  OCI%d: %ld statements analysed (%ld with a plan) in %.3f s = %.0f statements/s\n", version,
                    static_cast<long>(doc.GetCollection().GetSize()), explained, seconds,
                    doc.GetCollection().GetSize() / seconds);
        session.Disconnect();
    }
    return 0;
}
