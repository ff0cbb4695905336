#pragma once

// Marks the definition of one of Oracle's C entry points: C linkage and default
// visibility; everything else in the libraries stays hidden.
#define OCISIM_EXPORT extern "C" __attribute__((visibility("default")))
