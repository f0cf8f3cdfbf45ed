// The true field of a pivsynth pair, read back from its truth file for the trials (kept
// apart from the analysis headers, whose image-size constant pivsynth declares too).
#ifndef TRIALTRUTH_H
#define TRIALTRUTH_H

#include "DisplacementField.h"

// Reads the "key = value" lines of a truth file through pivsynth's option parser; false
// (with a message on standard error) when the file cannot be read or parsed.
bool ReadTruthField(const char* path, DisplacementField& field);

#endif
