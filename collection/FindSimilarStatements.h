#pragma once

#include "collection/SimilarityRun.h"

namespace corvid {

class IProgress;

// Compares the chosen statement's SQL text with that of every statement of the
// collection (upper-cased unless the search is case sensitive; only statements of
// the chosen command type unless all types are asked for) and appends each compared
// statement's copy, with its distance and collection position, to the run's result,
// in collection order. The statements are compared nearest length first, so that the
// run's first screen is known early (see SimilarityRun). The progress, when given,
// gets the percentage of statements done (never 100) with a text being compared,
// after each batch the calling thread compares; it is polled for cancellation only
// when the run is cancellable. Returns 0.
//
// A large collection is shared between threads; the result is the same as that of
// the run on one thread.
int FindSimilarStatements(SimilarityRun& run, IProgress* progress);

// Orders the run's result as the similar view lists it: by distance, smallest first;
// among equal distances the chosen statement first, then collection order. The
// positions move with their entries.
void SortSimilarResult(SimilarityRun& run);

}  // namespace corvid
