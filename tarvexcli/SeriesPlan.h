// The pairs a run analyses and the files each writes: one pair from the prompt, or the
// series start, start + stride, ... of -all, each named after its first image.
//
// Worked example: -all 1 1 2 -tec out on run.b16 with 6 images gives the pairs (1, 2), (3, 4),
// (5, 6) writing run.0001.dpiv and out.0001.plt, run.0003.dpiv and out.0003.plt, and so on;
// with 5 images the series stops after (3, 4). Without -all the one pair writes run.dpiv.
#ifndef SERIESPLAN_H
#define SERIESPLAN_H

#include <vector>

#include "Settings.h"

// Output file names of one pair.
struct OutputNames {
  char tecplot[kNameLength];
  char dpiv[kNameLength];
};

// One pair of a run: its image ids (those typed at the prompt without -all) and its files.
struct PairJob {
  int first;
  int second;
  OutputNames names;
};

// The run's pairs for a file of numberImages images; false, with a message on standard
// error, when a file name would not fit its buffer.
bool PlanRun(const TarvexSettings& s, int numberImages, std::vector<PairJob>& jobs);

// Whether the files of a pair exist (each appears only once complete).
bool PairWritten(const TarvexSettings& s, const PairJob& job);

#endif
