// Any stored layout: when it loads, it saves and loads back equal.

#include <sstream>
#include <string>

#include "FuzzCheck.h"
#include "list/ListLayout.h"
#include "platform/MemorySettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvid;
    // Lines "key=value" of the layout's section.
    CMemorySettingsStore stored;
    std::istringstream lines{std::string(fuzz::Bytes(data, size))};
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        stored.WriteProfileString(CListLayout::kDefaultName, line.substr(0, equals), line.substr(equals + 1));
    }
    CListLayout layout;
    if (!layout.Load(stored)) return 0;
    CMemorySettingsStore saved;
    FUZZ_CHECK(layout.Save(saved), fuzz::Shown(fuzz::Bytes(data, size)));
    CListLayout again;
    FUZZ_CHECK(again.Load(saved), fuzz::Shown(fuzz::Bytes(data, size)));
    FUZZ_CHECK(again.IsEqual(layout), fuzz::Shown(fuzz::Bytes(data, size)));
    return 0;
}
