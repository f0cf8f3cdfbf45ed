// What the deformation trials and benchmarks take from pivsynth's library: the true field
// of a pair read back from its truth file, and a pair written to a file. Kept apart from
// the analysis headers, whose image-size constant pivsynth declares too.
#ifndef SYNTHBRIDGE_H
#define SYNTHBRIDGE_H

#include <string>

#include "DisplacementField.h"
#include "TruthReference.h"

// The field of a truth file and the scheme its images follow; false (with a message on
// standard error) when the file cannot be read or parsed.
bool ReadTruthField(const char* path, DisplacementField& field, SynthScheme& scheme);

// Writes a pivsynth pair of side x side pixels (diameter 2.5 px, 0.02 particles per
// pixel) moved by `field`, with the given seed, to `path` (and its truth file beside it);
// false, with a message on standard error, when it cannot.
bool WriteSyntheticPair(const std::string& path, int side, const DisplacementField& field,
                        unsigned long seed);

#endif
