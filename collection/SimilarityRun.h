#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "collection/ObjectEntry.h"
#include "collection/SimilarityOptions.h"

namespace corvid {

// One similarity search: what it compares, and where the results go.
struct SimilarityRun {
    // The document's collection; only read.
    const CObjectArray* m_Collection = nullptr;
    // A copy of the chosen statement.
    CObjectEntry m_Chosen;
    // The chosen statement's position in the collection, or -1. Only the display
    // order uses it: among equal distances the chosen statement comes first.
    CObjectArray::Index m_ChosenPosition = -1;
    SimilarityOptions m_Options;

    // The search appends one copy of each compared statement, in collection order,
    // with m_Distance set ...
    CObjectArray m_Result;
    // ... and, at the same index, that statement's position in the collection.
    std::vector<CObjectArray::Index> m_ResultPositions;

    // How many threads share the comparisons: 0 lets the search decide (every core
    // for a large collection, else one), 1 keeps it on the calling thread.
    unsigned m_MaxThreads = 0;

    // How many of the nearest statements make the first screen: the search hands
    // them to m_OnFirstScreen, when set, as soon as no statement still to compare can
    // come before any of them (all compared statements when there are fewer). It is
    // called once, on one of the search's threads, with copies in the display order
    // of SortSimilarResult (distances set), their collection positions, and whether
    // every comparison is done.
    std::size_t m_FirstScreenSize = 50;
    std::function<void(const CObjectArray& nearest, const std::vector<CObjectArray::Index>& positions,
                       bool complete)>
        m_OnFirstScreen;

    // Whether the search polls the progress for cancellation (between batches of
    // comparisons). A cancelled search sets m_Cancelled and leaves in the result only
    // the first screen, when it was reached, else nothing.
    bool m_Cancellable = false;
    bool m_Cancelled = false;
};

}  // namespace corvid
