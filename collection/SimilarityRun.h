#pragma once

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
};

}  // namespace corvid
