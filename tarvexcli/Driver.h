// The analysis run of tarvex once the command line has been parsed.
#ifndef DRIVER_H
#define DRIVER_H

#include <vector>

#include "Console.h"
#include "PIVImage.h"
#include "PairAnalysis.h"
#include "SeriesPlan.h"
#include "Settings.h"

// The pairs of the run over the opened image store; false, with a message on standard error,
// when the store holds no image, -all finds no pair in it or a file name would not fit.
bool PlanImages(const TarvexSettings& s, const PIVImage& image, std::vector<PairJob>& jobs);

// Reads the run's mask (-mask) into the analysis, once the images are open; true at once
// without one. False, with a message on standard error, when the file cannot be read or
// its size is not the images'.
bool SetRunMask(const TarvexSettings& s, PairAnalysis& analysis, const PIVImage& image);

// "\nTARVEX analysis grid = NX x NY\n", with a mask "Mask NAME: M of N points masked\n",
// and "\nCalculating TARVEX, please wait .....\n".
void AnnounceGrid(const TarvexSettings& s, PairAnalysis& analysis, Console& console);

// Runs the whole analysis of a parsed command line; returns the exit status.
int RunAnalysis(const TarvexSettings& settings);

#endif
