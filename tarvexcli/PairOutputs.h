// The files each pair of a run writes, one kind to a line of a table: which settings ask for
// it, where the pair keeps its name, and how a finished file of that kind is recognised.
// -resume skips a pair only when every file it asks for is finished, and the check that no
// output is an input goes through the same table; another kind of output is one more line.
//
// Worked example: with -tec t on a 15 x 15 grid, pair (1, 2) writes run.0001.dpiv and
// t.0001.plt; it counts as finished when run.0001.dpiv holds its 12 comment lines and 225
// records and t.0001.plt its 3 head lines and 225 points, and neither is older than the
// series' record (an earlier run's file). A run.0001.dpiv of 224 records, of another grid or
// of 0 bytes leaves the pair to be analysed again.
#ifndef PAIROUTPUTS_H
#define PAIROUTPUTS_H

#include <ctime>
#include <vector>

#include "SeriesPlan.h"

namespace tarvex {

// The names of the files pair `job` writes under the settings.
void PairOutputFiles(const TarvexSettings& s, const PairJob& job, std::vector<const char*>& names);

// Whether every file of the pair is finished for a grid of nx x ny points and, when `since` is
// given, was written no earlier than that.
bool PairFinished(const TarvexSettings& s, const PairJob& job, int nx, int ny, const timespec* since);

}  // namespace tarvex

#endif
