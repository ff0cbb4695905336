#pragma once

// The shared SQL area: one entry per distinct statement text with its
// statistics, the first parsing user and the command type. Queries read a
// snapshot of the entries, so the pool can move on while they fetch: the entries
// are shared with the snapshots taken and copied only when one of them is still
// open as the pool changes.

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ocisim {

struct CursorPlan;

struct PoolEntry {
    std::shared_ptr<const std::string> text;
    std::uint64_t address = 0;
    std::uint32_t hashValue = 0;
    std::uint64_t textKey = 0;  // SharedPool::TextKey of the text
    int commandType = 0;
    std::string optimizerMode;
    int parsingUserId = 0;
    int parsingSchemaId = 0;
    double executions = 0, parseCalls = 0, diskReads = 0, bufferGets = 0, sorts = 0, rowsProcessed = 0;
    double sharableMem = 0, persistentMem = 0, runtimeMem = 0, loads = 1, fetches = 0, invalidations = 0;
    double versionCount = 1;
    std::int64_t firstLoadTime = 0;  // seconds, as DATE values
    // The template that generated the statement (its place among the scenario's
    // templates, from 0), -1 for any other; for tests only, no view shows it.
    int templateId = -1;
    std::int64_t lastActiveTime = 0;  // 0: the first load time
    std::string module;  // empty: NULL
    // Microseconds of CPU, I/O wait and elapsed time when the server lives in
    // time; below 0 they follow from the work (PoolViews).
    double cpuTime = -1, userIoWaitTime = -1, elapsedTime = -1;
    // The plan of child 0 in the cursor cache (null: none); built once, on the
    // first read of the views that show it after the statement ran.
    std::shared_ptr<const CursorPlan> plan;
    bool planBuilt = false;
};

using PoolSnapshot = std::shared_ptr<const std::vector<PoolEntry>>;

class SharedPool {
public:
    explicit SharedPool(std::uint64_t seed = 1);

    // The entry of a text, created (with a new address) when the pool has none.
    PoolEntry& Enter(const std::string& text, bool& created);
    // Adds a prepared entry (scenario statements); an existing text is replaced.
    // A zero address gets a new one.
    PoolEntry& Add(PoolEntry entry);
    PoolEntry* Find(std::string_view text);
    // Ages one entry out of the pool.
    void Remove(size_t index);
    void Flush();
    size_t Size() const { return m_Entries->size(); }
    // The entries, to change.
    std::vector<PoolEntry>& Entries() { return Mutable(); }
    // The entries as they stand, to read.
    const std::vector<PoolEntry>& View() const { return *m_Entries; }
    // The entries as they are now, unchanged by what the pool does later.
    PoolSnapshot Snapshot() const { return m_Entries; }

    // The statement's 64-bit key (MD5 of the text and a zero byte); its low 32
    // bits are the hash value, the whole key in base 32 the SQL ID.
    static std::uint64_t TextKey(std::string_view text);
    static std::uint32_t HashText(std::string_view text);
    static std::string SqlId(std::string_view text);
    static std::string SqlIdOfKey(std::uint64_t key);

private:
    // The entries by text: open addressing over the texts' hashes (linear
    // probing, a power-of-two size at most half full). A slot holds the hash
    // and the entry's index plus one; 0 marks a free slot.
    struct TextSlot {
        std::size_t hash = 0;
        std::size_t indexPlusOne = 0;
    };
    static std::size_t HashOf(std::string_view text);
    // The index of the entry of a text, or npos.
    std::size_t IndexOf(std::string_view text, std::size_t hash) const;
    void IndexText(std::size_t hash, std::size_t index);
    void UnindexText(std::size_t hash, std::size_t index);

    // The addresses in use, open addressing as above; 0 marks a free slot (no
    // entry's address is 0).
    bool InsertAddress(std::uint64_t address);
    void EraseAddress(std::uint64_t address);

    std::uint64_t NewAddress();
    std::vector<PoolEntry>& Mutable();

    std::shared_ptr<std::vector<PoolEntry>> m_Entries = std::make_shared<std::vector<PoolEntry>>();
    std::vector<TextSlot> m_TextSlots;
    std::size_t m_TextCount = 0;
    std::vector<std::uint64_t> m_AddressSlots;
    std::size_t m_AddressCount = 0;
    std::mt19937_64 m_Random;
};

}  // namespace ocisim
