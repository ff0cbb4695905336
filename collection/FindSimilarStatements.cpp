#include "collection/FindSimilarStatements.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <exception>
#include <functional>
#include <mutex>
#include <numeric>
#include <string>
#include <system_error>
#include <thread>
#include <tuple>

#include "work/Progress.h"
#include "sqltext/EditDistancePattern.h"
#include "sqltext/SqlTextCase.h"

namespace corvid {

namespace {

using Index = CObjectArray::Index;

// Collections at least this large are shared between threads.
constexpr Index kParallelThreshold = 256;
// Statements handed out at a time to a thread.
constexpr Index kChunk = 32;
// With a chosen text this long (each comparison taking a millisecond or more)
// statements go a few at a time, so that the running bound tightens soon.
constexpr std::size_t kLongPattern = 16384;
constexpr Index kLongPatternChunk = 2;

int PercentDone(Index done, Index count) {
    return static_cast<int>(static_cast<double>(done) / static_cast<double>(count) * 100.0);
}

// Runs body(begin, end, caller) over the chunks of [0, count) on the calling thread
// (caller true) and up to threads - 1 helpers; afterChunk(end) runs on the calling
// thread after each of its own chunks and stops the run by returning false. An exception in any thread
// stops the others and leaves here once all have ended.
void RunChunks(unsigned threads, Index count, Index chunk, const std::function<void(Index, Index, bool)>& body,
               const std::function<bool(Index)>& afterChunk) {
    std::atomic<Index> next{0};
    std::atomic<bool> stop{false};
    std::exception_ptr helperError;
    auto take = [&](Index& first) {
        first = next.fetch_add(chunk, std::memory_order_relaxed);
        return first < count;
    };
    {
        std::vector<std::jthread> helpers;
        auto work = [&](const std::stop_token& stopToken) {
            try {
                Index i = 0;
                while (!stopToken.stop_requested() && !stop.load(std::memory_order_relaxed) && take(i))
                    body(i, std::min(i + chunk, count), false);
            } catch (...) {
                if (!stop.exchange(true)) helperError = std::current_exception();
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
        Index i = 0;
        while (!stop.load() && take(i)) {
            const Index end = std::min(i + chunk, count);
            body(i, end, true);
            if (!afterChunk(end)) {
                stop.store(true);
                break;
            }
        }
    }
    if (helperError) std::rethrow_exception(helperError);
}

// The search compares the statements in the order of a lower bound of their
// distance (from the counts of their bytes), the nearest first, so that the nearest
// few are known for certain long before the last comparison: once every statement
// up to some point of that order is compared, and the bound of the rest exceeds the
// distance of the last of the nearest so far, none of the rest can come before it.
class CSimilaritySearch {
public:
    CSimilaritySearch(SimilarityRun& run, const CObjectArray& collection)
        : m_run(run),
          m_collection(collection),
          m_caseSensitive(run.m_Options.m_CaseSensitive),
          m_pattern(m_caseSensitive ? run.m_Chosen.m_SqlText : UpperCaseSqlText(run.m_Chosen.m_SqlText)) {}

    void Run(IProgress* progress, unsigned threads) {
        Prepare(progress, threads);
        if (m_stop.load()) return;
        const auto count = static_cast<Index>(m_order.size());
        m_distances.assign(m_order.size(), 0);
        m_exact.assign(m_order.size(), 1);
        m_chunk = m_pattern.GetText().size() >= kLongPattern ? kLongPatternChunk : kChunk;
        m_chunkDone.assign(static_cast<std::size_t>((count + m_chunk - 1) / m_chunk), false);
        if (count == 0) return;
        m_progress = progress;
        m_caller = [this] { return OnCallerPoll(); };
        m_helper = [this] { return m_stop.load(std::memory_order_relaxed); };
        // While the first screen is awaited, a statement is compared only as far as it
        // could still join it (the running bound); those found beyond it are compared
        // in full afterwards.
        m_bounded = m_run.m_OnFirstScreen && m_run.m_FirstScreenSize > 0;
        Index reported = 0;
        RunChunks(
            threads, count, m_chunk,
            [this](Index begin, Index end, bool caller) {
                for (Index k = begin; k < end && !m_stop.load(std::memory_order_relaxed); ++k)
                    Compare(static_cast<std::size_t>(k), caller,
                            m_bounded ? m_runningBound.load(std::memory_order_relaxed) : kNoLimit);
                if (!m_stop.load()) ChunkDone(begin);
            },
            [&](Index end) {
                if (progress) {
                    const Index done = std::min(count, std::max(end, m_finished.load(std::memory_order_relaxed)));
                    if (done > reported) {
                        reported = done;
                        Report(PercentDone(std::max<Index>(0, done - 1 - m_restCount.load()), count),
                               m_order[static_cast<std::size_t>(end - 1)]);
                    }
                    // A cancellation after the last comparison changes nothing.
                    if (m_run.m_Cancellable && !m_stop.load() && (m_finished.load() < count || m_restCount.load() > 0) &&
                        progress->IsCancelled())
                        Cancel();
                }
                return !m_stop.load();
            });
        if (m_stop.load() || m_rest.empty()) return;

        // The statements left beyond the running bound, in full.
        const std::vector<std::size_t> rest = std::move(m_rest);
        const auto restCount = static_cast<Index>(rest.size());
        const Index bounded = count - restCount;
        reported = 0;
        m_restPass = true;
        RunChunks(
            threads, restCount, m_chunk,
            [&](Index begin, Index end, bool caller) {
                for (Index k = begin; k < end && !m_stop.load(std::memory_order_relaxed); ++k)
                    Compare(rest[static_cast<std::size_t>(k)], caller, kNoLimit);
            },
            [&](Index end) {
                if (progress) {
                    m_restDone = end;
                    if (end > reported) {
                        reported = end;
                        Report(PercentDone(bounded + end - 1, count), m_order[rest[static_cast<std::size_t>(end - 1)]]);
                    }
                    if (m_run.m_Cancellable && !m_stop.load() && end < restCount && progress->IsCancelled()) Cancel();
                }
                return !m_stop.load();
            });
    }

    // The result: every compared statement in collection order, or after a
    // cancellation the nearest statements when they were known (else nothing).
    void AppendResult() {
        SimilarityRun& run = m_run;
        if (m_cancelled) {
            run.m_Cancelled = true;
            for (std::size_t k = 0; k < m_firstPositions.size(); ++k) {
                run.m_Result.Add(m_firstScreen[static_cast<Index>(k)]);
                run.m_ResultPositions.push_back(m_firstPositions[k]);
            }
            return;
        }
        std::vector<std::size_t> byPosition(m_order.size());
        std::iota(byPosition.begin(), byPosition.end(), std::size_t{0});
        std::sort(byPosition.begin(), byPosition.end(),
                  [this](std::size_t a, std::size_t b) { return m_order[a] < m_order[b]; });
        run.m_Result.Reserve(run.m_Result.GetSize() + static_cast<Index>(m_order.size()));
        run.m_ResultPositions.reserve(run.m_ResultPositions.size() + m_order.size());
        for (std::size_t k : byPosition) {
            const Index position = m_positions[m_order[k]];
            CObjectEntry copy = m_collection[position];
            copy.SetDistance(m_distances[k]);
            run.m_Result.Add(std::move(copy));
            run.m_ResultPositions.push_back(position);
        }
    }

private:
    static constexpr std::int32_t kNoLimit = std::numeric_limits<std::int32_t>::max();

    // Compares the statement at that slot of the order, as far as the limit needs; on
    // the calling thread the comparison reports progress and polls for cancellation
    // while it lasts.
    void Compare(std::size_t slot, bool caller, std::int32_t limit) {
        if (caller) m_current = m_order[slot];
        const std::int32_t distance =
            m_pattern.Distance(m_texts[m_order[slot]], limit, caller ? m_caller : m_helper);
        if (distance == CEditDistancePattern::kInterrupted) return;
        if (distance > limit) {
            // Only known to be beyond the limit: never in the first screen, compared
            // in full later.
            m_distances[slot] = limit;
            m_exact[slot] = 0;
            return;
        }
        m_distances[slot] = distance;
    }

    // Polled by a long comparison on the calling thread every millisecond or so:
    // reports now and then, and stops every thread once the run is cancelled.
    bool OnCallerPoll() {
        if (m_stop.load(std::memory_order_relaxed)) return true;
        if (!m_progress) return false;
        if (std::chrono::steady_clock::now() - m_lastPollReport >= std::chrono::milliseconds(100)) {
            // Statements compared in full so far; the first of them is the one now compared.
            const auto count = static_cast<Index>(m_order.size());
            const Index done = m_finished.load() - m_restCount.load() + (m_restPass ? m_restDone : 0);
            Report(PercentDone(std::max<Index>(0, std::min(done, count - 1)), count), m_current);
        }
        if (m_run.m_Cancellable && m_progress->IsCancelled()) Cancel();
        return m_stop.load();
    }

    // Reports the percentage (never below one reported before: statements left for
    // the second pass may join the count of those done later) with a text.
    void Report(int percent, std::size_t text) {
        m_lastPollReport = std::chrono::steady_clock::now();
        m_lastPercent = std::max(m_lastPercent, percent);
        m_progress->SetProgress(m_lastPercent, std::string(m_texts[text]));
    }

    void Cancel() {
        m_cancelled = true;
        m_stop.store(true);
    }

    // Picks the statements to compare, their texts as compared, and the order; may be
    // cancelled already.
    void Prepare(IProgress* progress, unsigned threads) {
        const bool allTypes = m_run.m_Options.m_AllCommandTypes;
        const std::int32_t commandType = m_run.m_Chosen.m_CommandType;
        const Index size = m_collection.GetSize();
        for (Index i = 0; i < size; ++i)
            if (allTypes || m_collection[i].m_CommandType == commandType) m_positions.push_back(i);
        const auto count = static_cast<Index>(m_positions.size());
        m_texts.assign(m_positions.size(), std::string_view());
        if (!m_caseSensitive) m_upper.assign(m_positions.size(), std::string());
        m_bounds.resize(m_positions.size());
        RunChunks(
            threads, count, kChunk,
            [this](Index begin, Index end, bool) {
                for (Index k = begin; k < end; ++k) {
                    const auto slot = static_cast<std::size_t>(k);
                    const std::string& sql = m_collection[m_positions[slot]].m_SqlText;
                    if (m_caseSensitive) {
                        m_texts[slot] = sql;
                    } else {
                        m_upper[slot] = UpperCaseSqlText(sql);
                        m_texts[slot] = m_upper[slot];
                    }
                    m_bounds[slot] = m_pattern.LowerBound(m_texts[slot]);
                }
            },
            [&](Index) {
                if (m_run.m_Cancellable && progress && progress->IsCancelled()) Cancel();
                return !m_stop.load();
            });
        if (m_stop.load()) return;
        m_order.resize(m_positions.size());
        std::iota(m_order.begin(), m_order.end(), std::size_t{0});
        std::stable_sort(m_order.begin(), m_order.end(),
                         [this](std::size_t a, std::size_t b) { return m_bounds[a] < m_bounds[b]; });
    }

    // The display order: by distance, the chosen statement first among equals, then
    // collection order.
    using Rank = std::tuple<std::int32_t, bool, Index>;
    Rank RankOf(std::size_t slot) const {
        const Index position = m_positions[m_order[slot]];
        return {m_distances[slot], position != m_run.m_ChosenPosition, position};
    }

    // Marks a chunk of the order as compared and, once the nearest statements are
    // certain, hands them over (once, outside the lock).
    void ChunkDone(Index begin) {
        const auto count = static_cast<Index>(m_order.size());
        bool publish = false;
        bool complete = false;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_chunkDone[static_cast<std::size_t>(begin / m_chunk)] = true;
            Index finished = m_finished.load(std::memory_order_relaxed);
            while (finished < count && m_chunkDone[static_cast<std::size_t>(finished / m_chunk)]) {
                const Index chunkEnd = std::min(finished + m_chunk, count);
                for (Index k = finished; k < chunkEnd; ++k)
                    Keep(static_cast<std::size_t>(k));
                finished = chunkEnd;
            }
            m_finished.store(finished, std::memory_order_relaxed);
            if (!m_published) {
                const std::size_t wanted = std::min<std::size_t>(m_run.m_FirstScreenSize, m_order.size());
                const bool certain =
                    finished == count ||
                    (m_nearest.size() >= wanted && !m_nearest.empty() &&
                     m_bounds[m_order[static_cast<std::size_t>(finished)]] > std::get<0>(RankOf(m_nearest.front())));
                if (certain) {
                    m_published = true;
                    m_runningBound.store(kNoLimit);
                    publish = true;
                    complete = finished == count && m_rest.empty();
                    std::sort_heap(m_nearest.begin(), m_nearest.end(), m_rankLess);
                    for (std::size_t slot : m_nearest) {
                        CObjectEntry copy = m_collection[m_positions[m_order[slot]]];
                        copy.SetDistance(m_distances[slot]);
                        m_firstScreen.Add(std::move(copy));
                        m_firstPositions.push_back(m_positions[m_order[slot]]);
                    }
                    m_nearest.clear();
                }
            }
        }
        if (publish && m_run.m_OnFirstScreen) m_run.m_OnFirstScreen(m_firstScreen, m_firstPositions, complete);
    }

    // Keeps the compared statement at that slot of the order among the nearest so far
    // (a heap whose front is the farthest of them).
    void Keep(std::size_t slot) {
        if (!m_exact[slot]) {
            m_rest.push_back(slot);
            m_restCount.fetch_add(1);
            return;
        }
        if (m_published || m_run.m_FirstScreenSize == 0) return;
        if (m_nearest.size() < m_run.m_FirstScreenSize) {
            m_nearest.push_back(slot);
            std::push_heap(m_nearest.begin(), m_nearest.end(), m_rankLess);
        } else if (RankOf(slot) < RankOf(m_nearest.front())) {
            std::pop_heap(m_nearest.begin(), m_nearest.end(), m_rankLess);
            m_nearest.back() = slot;
            std::push_heap(m_nearest.begin(), m_nearest.end(), m_rankLess);
        }
        // With the first screen's worth kept, a statement farther than the farthest of
        // them can never join it.
        if (m_nearest.size() >= m_run.m_FirstScreenSize)
            m_runningBound.store(std::get<0>(RankOf(m_nearest.front())), std::memory_order_relaxed);
    }

    SimilarityRun& m_run;
    const CObjectArray& m_collection;
    const bool m_caseSensitive;
    const CEditDistancePattern m_pattern;
    // Per compared statement (in collection order): its position, its text as
    // compared (the upper-cased copy unless the search is case sensitive) and the
    // lower bound of its distance.
    std::vector<Index> m_positions;
    std::vector<std::string> m_upper;
    std::vector<std::string_view> m_texts;
    std::vector<std::int32_t> m_bounds;
    // The comparison order (indices of the above), and the distances in that order;
    // each distance is written by one thread.
    std::vector<std::size_t> m_order;
    std::vector<std::int32_t> m_distances;
    // Per slot of the order: 0 while its distance is only known to exceed the
    // running bound that it was compared with (m_distances then holds that bound).
    std::vector<std::uint8_t> m_exact;
    // The slots to compare in full once every statement has been compared once, in
    // the order; guarded by m_mutex until then.
    std::vector<std::size_t> m_rest;
    std::atomic<Index> m_restCount{0};
    bool m_bounded = false;
    std::atomic<std::int32_t> m_runningBound{kNoLimit};
    // Set on cancellation: every thread leaves its comparison and its chunk.
    std::atomic<bool> m_stop{false};
    DistanceInterrupt m_caller;
    DistanceInterrupt m_helper;
    // Calling thread only.
    IProgress* m_progress = nullptr;
    std::size_t m_current = 0;
    bool m_restPass = false;
    int m_lastPercent = 0;
    Index m_restDone = 0;
    std::chrono::steady_clock::time_point m_lastPollReport{};

    std::mutex m_mutex;
    // Statements handed out at a time, and which chunks of them are compared.
    Index m_chunk = kChunk;
    std::vector<bool> m_chunkDone;
    // Every slot of the order before this one is compared.
    std::atomic<Index> m_finished{0};
    std::vector<std::size_t> m_nearest;
    std::function<bool(std::size_t, std::size_t)> m_rankLess = [this](std::size_t a, std::size_t b) {
        return RankOf(a) < RankOf(b);
    };
    bool m_published = false;
    CObjectArray m_firstScreen;
    std::vector<Index> m_firstPositions;
    bool m_cancelled = false;
};

}  // namespace

int FindSimilarStatements(SimilarityRun& run, IProgress* progress) {
    run.m_Cancelled = false;
    if (!run.m_Collection || run.m_Collection->IsEmpty()) return 0;
    const CObjectArray& collection = *run.m_Collection;

    unsigned threads = run.m_MaxThreads;
    if (threads == 0) threads = collection.GetSize() < kParallelThreshold ? 1 : std::thread::hardware_concurrency();
    threads = std::max(1u, threads);

    CSimilaritySearch search(run, collection);
    search.Run(progress, threads);
    search.AppendResult();
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
