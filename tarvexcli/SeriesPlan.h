// The pairs a run analyses and the files each writes: one pair from the prompt, or the
// series start, start + stride, ... of -all, each named after its first image.
//
// Worked example: -all 1 1 2 -tec out on run.b16 with 6 images gives the pairs (1, 2), (3, 4),
// (5, 6) writing run.0001.dpiv and out.0001.plt, run.0003.dpiv and out.0003.plt, and so on;
// with 5 images the series stops after (3, 4). Without -all the one pair writes run.dpiv.
// The names start with the image file's name up to its first '.', or, when that '.' lies in a
// directory part, up to the first '.' of the file name: data/run.b16 gives data/run,
// data.v2/run.b16 data.v2/run (not data) and ./run.b16 ./run (not a hidden file in the
// current directory). The series' record (see RunRecord) is then data/run.series.txt.
#ifndef SERIESPLAN_H
#define SERIESPLAN_H

#include <string>
#include <vector>

#include "Settings.h"

namespace tarvex {

// Output file names of one pair.
struct OutputNames {
  char tecplot[kNameLength];
  char dpiv[kNameLength];
  char netcdf[kNameLength];  // with -nc: the DPIV file's name with .nc for .dpiv
};

// One pair of a run: its image ids (those typed at the prompt without -all) and its files.
struct PairJob {
  int first;
  int second;
  OutputNames names;
};

// The start of every output name of the image-pair file `filename` (see above).
std::string SeriesName(const char* filename);

// The name of the record a series run keeps next to its files.
std::string RunRecordName(const TarvexSettings& s);

// The run's pairs for a file of numberImages images (none when -all finds no pair); false,
// with the reason in error, when a file name would not fit its buffer.
bool PlanRun(const TarvexSettings& s, int numberImages, std::vector<PairJob>& jobs, std::string& error);

}  // namespace tarvex

#endif
