// The truth file written next to the images: "key = value" lines with the field and
// the settings, so that a test can compute the true displacement at any (x, y).
#ifndef PIVSYNTH_TRUTHFILE_H
#define PIVSYNTH_TRUTHFILE_H

#include <string>

#include "SynthOptions.h"

// Shortest decimal form that reads back as the same double.
std::string FormatNumber(double value);

std::string TruthText(const SynthOptions& options);

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error);

#endif
