// tarvex's run spread over the ranks of an MPI job. The pairs of a series are split into
// contiguous blocks, one per rank, balanced by count; each rank analyses and writes its own
// block (starting from the state the pair before it leaves, see SeriesRun), and rank 0 prints
// the console text of the whole run in pair order, so that it reads as the serial run's.
// Without -all rank 0 alone runs the one pair, as tarvex does.
//
// Worked example: 12 pairs on 3 ranks: rank 0 takes pairs 0 to 3, rank 1 pairs 4 to 7 (after
// analysing pair 3 silently), rank 2 pairs 8 to 11 (after pair 7). Rank 0 prints its pairs'
// text as it goes, then rank 1's, then rank 2's.
#ifndef CLUSTERRUN_H
#define CLUSTERRUN_H

#include <cstddef>

namespace tarvex {

// The first pair of rank's block of `pairs` pairs split over `ranks` ranks.
size_t BlockStart(size_t pairs, int rank, int ranks);

// Runs tarvex's command line on this rank (MPI initialised); returns the exit status, the
// same on every rank: non-zero when any rank failed.
int RunCluster(int argc, char** argv, int rank, int ranks);

}  // namespace tarvex

#endif
