#pragma once

#include "collection/SimilarityRun.h"

namespace corvid {

class IProgress;

// Compares the chosen statement's SQL text with that of every statement of the
// collection (upper-cased unless the search is case sensitive; only statements of
// the chosen command type unless all types are asked for) and appends each compared
// statement's copy, with its distance and collection position, to the run's result,
// in collection order. The progress, when given, gets the percentage of statements
// done (never 100) with the text being compared; the search does not poll for
// cancellation, it always covers the whole collection. Returns 0.
//
// A large collection is shared between two threads; the result is the same as that
// of the sequential run. Progress is then reported only for the statements the
// calling thread compares.
int FindSimilarStatements(SimilarityRun& run, IProgress* progress);

// Orders the run's result as the similar view lists it: by distance, smallest first;
// among equal distances the chosen statement first, then collection order. The
// positions move with their entries.
void SortSimilarResult(SimilarityRun& run);

}  // namespace corvid
