#include "collection/FindSimilarStatements.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <numeric>
#include <string>
#include <system_error>
#include <thread>

#include "work/Progress.h"
#include "sqltext/EditDistancePattern.h"
#include "sqltext/SqlTextCase.h"

namespace corvid {

namespace {

using Index = CObjectArray::Index;

// Collections at least this large are shared between threads.
constexpr Index kParallelThreshold = 256;
// Statements handed out at a time to a thread of a shared search.
constexpr Index kChunk = 32;
// Distance of a statement that is not compared.
constexpr std::int32_t kNotCompared = -1;

int PercentDone(Index done, Index count) {
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(count) * 100.0);
}

class CSimilaritySearch {
public:
    CSimilaritySearch(const SimilarityRun& run, const CObjectArray& collection)
        : m_collection(collection),
          m_caseSensitive(run.m_Options.m_CaseSensitive),
          m_allTypes(run.m_Options.m_AllCommandTypes),
          m_commandType(run.m_Chosen.m_CommandType),
          m_pattern(m_caseSensitive ? run.m_Chosen.m_SqlText : UpperCaseSqlText(run.m_Chosen.m_SqlText)),
          m_distances(static_cast<std::size_t>(collection.GetSize()), kNotCompared) {}

    // Compares statement i when its command type qualifies. With `shown`, also
    // leaves there the text as compared (for the progress), compared or not.
    void Compare(Index i, std::string* shown) {
        const CObjectEntry& entry = m_collection[i];
        const bool compared = m_allTypes || entry.m_CommandType == m_commandType;
        if (!compared && !shown) return;
        std::string upper;
        if (!m_caseSensitive) upper = UpperCaseSqlText(entry.m_SqlText);
        const std::string& text = m_caseSensitive ? entry.m_SqlText : upper;
        if (compared) m_distances[static_cast<std::size_t>(i)] = m_pattern.Distance(text);
        if (shown) {
            if (m_caseSensitive)
                *shown = text;
            else
                shown->swap(upper);
        }
    }

    void RunSequential(IProgress* progress) {
        const Index count = m_collection.GetSize();
        std::string shown;
        for (Index i = 0; i < count; ++i) {
            Compare(i, progress ? &shown : nullptr);
            if (progress) progress->SetProgress(PercentDone(i, count), shown);
        }
    }

    // The calling thread and the helpers take chunks of statements in turn. Only the
    // calling thread reports; its percentage counts the statements done by all.
    void RunShared(IProgress* progress, unsigned threads) {
        std::exception_ptr helperError;
        std::atomic<bool> failed{false};
        {
            std::vector<std::jthread> helpers;
            auto work = [this, &helperError, &failed](std::stop_token stop) {
                try {
                    Index i = 0;
                    while (!stop.stop_requested() && TakeChunk(i)) {
                        const Index end = std::min(i + kChunk, m_collection.GetSize());
                        const Index taken = end - i;
                        for (; i < end; ++i)
                            Compare(i, nullptr);
                        m_done.fetch_add(taken, std::memory_order_relaxed);
                    }
                } catch (...) {
                    if (!failed.exchange(true)) helperError = std::current_exception();
                }
            };
            for (unsigned t = 1; t < threads; ++t) {
                // Without another thread the calling thread simply does more of the work.
                try {
                    helpers.emplace_back(work);
                } catch (const std::system_error&) {
                    break;
                }
            }
            // On an exception here the helpers are stopped and joined before it leaves.
            const Index count = m_collection.GetSize();
            std::string shown;
            Index i = 0;
            while (!failed.load() && TakeChunk(i)) {
                for (Index end = std::min(i + kChunk, count); i < end; ++i) {
                    Compare(i, progress ? &shown : nullptr);
                    const Index done = m_done.fetch_add(1, std::memory_order_relaxed);
                    if (progress) progress->SetProgress(PercentDone(done, count), shown);
                }
            }
        }
        if (helperError) std::rethrow_exception(helperError);
    }

    // Appends the compared statements in collection order.
    void AppendResult(SimilarityRun& run) const {
        const Index count = m_collection.GetSize();
        Index compared = 0;
        for (std::int32_t d : m_distances)
            compared += d != kNotCompared;
        run.m_Result.Reserve(run.m_Result.GetSize() + compared);
        run.m_ResultPositions.reserve(run.m_ResultPositions.size() + static_cast<std::size_t>(compared));
        for (Index i = 0; i < count; ++i) {
            const std::int32_t distance = m_distances[static_cast<std::size_t>(i)];
            if (distance == kNotCompared) continue;
            CObjectEntry copy = m_collection[i];
            copy.SetDistance(distance);
            run.m_Result.Add(std::move(copy));
            run.m_ResultPositions.push_back(i);
        }
    }

private:
    bool TakeChunk(Index& first) {
        first = m_next.fetch_add(kChunk, std::memory_order_relaxed);
        return first < m_collection.GetSize();
    }

    const CObjectArray& m_collection;
    const bool m_caseSensitive;
    const bool m_allTypes;
    const std::int32_t m_commandType;
    const CEditDistancePattern m_pattern;
    // Per statement: its distance, or kNotCompared. Each slot is written by one thread.
    std::vector<std::int32_t> m_distances;
    std::atomic<Index> m_next{0};
    std::atomic<Index> m_done{0};
};

}  // namespace

int FindSimilarStatements(SimilarityRun& run, IProgress* progress) {
    if (!run.m_Collection || run.m_Collection->IsEmpty()) return 0;
    const CObjectArray& collection = *run.m_Collection;

    unsigned threads = run.m_MaxThreads;
    if (threads == 0) threads = collection.GetSize() < kParallelThreshold ? 1 : std::thread::hardware_concurrency();
    threads = std::max(1u, threads);

    CSimilaritySearch search(run, collection);
    if (threads > 1)
        search.RunShared(progress, threads);
    else
        search.RunSequential(progress);
    search.AppendResult(run);
    return 0;
}

void SortSimilarResult(SimilarityRun& run) {
    const auto count = static_cast<std::size_t>(run.m_Result.GetSize());
    run.m_ResultPositions.resize(count, -1);
    auto isChosen = [&](std::size_t k) {
        return run.m_ChosenPosition >= 0 && run.m_ResultPositions[k] == run.m_ChosenPosition;
    };
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::int32_t da = run.m_Result[static_cast<Index>(a)].m_Distance;
        const std::int32_t db = run.m_Result[static_cast<Index>(b)].m_Distance;
        if (da != db) return da < db;
        return isChosen(a) && !isChosen(b);
    });
    CObjectArray sorted;
    sorted.Reserve(static_cast<Index>(count));
    std::vector<Index> positions;
    positions.reserve(count);
    for (std::size_t k : order) {
        sorted.Add(std::move(run.m_Result[static_cast<Index>(k)]));
        positions.push_back(run.m_ResultPositions[k]);
    }
    run.m_Result = std::move(sorted);
    run.m_ResultPositions = std::move(positions);
}

}  // namespace corvid
