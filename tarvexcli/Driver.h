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
// when the store holds no image or a file name would not fit.
bool PlanImages(const TarvexSettings& s, const PIVImage& image, std::vector<PairJob>& jobs);

// "\nTARVEX analysis grid = NX x NY\n" and "\nCalculating TARVEX, please wait .....\n".
void AnnounceGrid(PairAnalysis& analysis, Console& console);

// Runs the whole analysis of a parsed command line; returns the exit status.
int RunAnalysis(const TarvexSettings& settings);

#endif
