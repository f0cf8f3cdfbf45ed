// The analysis run of tarvex once the command line has been parsed.
#ifndef DRIVER_H
#define DRIVER_H

#include <vector>

#include "PairAnalysis.h"
#include "SeriesPlan.h"
#include "Settings.h"
#include "images/PIVImage.h"
#include "support/Console.h"

namespace tarvex {

// The pairs of the run over the opened image store; false, with a message on standard error,
// when the store holds no image, -all finds no pair in it or a file name would not fit.
bool PlanImages(const TarvexSettings& s, const PIVImage& image, std::vector<PairJob>& jobs);

// Reads the run's mask (-mask) into the analysis, once the images are open; true at once
// without one. False, with a message on standard error, when the file cannot be read or
// its size is not the images'.
bool SetRunMask(const TarvexSettings& s, PairAnalysis& analysis, const PIVImage& image);

// The run's background (-bg), once the images and the mask are open: the first image of the
// -bg file, or the minimum or mean over every image of the image-pair file, made in one pass
// with a progress line on standard error while it is a terminal (`progress`). False, with a
// message on standard error, when it cannot be made.
bool MakeRunBackground(const TarvexSettings& s, const PairAnalysis& analysis, const PIVImage& image, bool progress,
                       BackgroundImage& background);

// Hands the background to the analysis; false, with a message on standard error, when its
// size is not the images' (a file that changed while the run read it).
bool UseBackground(PairAnalysis& analysis, const PIVImage& image, BackgroundImage background);

// "\nTARVEX analysis grid = NX x NY\n", with a mask "Mask NAME: M of N points masked\n", with
// pre-processing its line ("Pre-processing: ...\n", see PairPreprocessing), and
// "\nCalculating TARVEX, please wait .....\n".
void AnnounceGrid(const TarvexSettings& s, PairAnalysis& analysis, Console& console);

// Runs the whole analysis of a parsed command line; returns the exit status.
int RunAnalysis(const TarvexSettings& settings);

}  // namespace tarvex

#endif
