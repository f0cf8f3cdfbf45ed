// The checks a run makes before it writes anything, the wisdom file included: no file it would
// write is a file it reads, a -bg file is an image-pair file of the images' size, and with
// -resume the series' record is this run's.
//
// Worked example: "cp run.b16 img.dpiv; echo 1 2 | tarvex img.dpiv" would write its DPIV file
// img.dpiv over its own input; it stops with "tarvex: refusing to write img.dpiv: it is the
// image-pair file img.dpiv this run reads" and status 1. So does -mask run.dpiv, or any name
// (a link, "./img.dpiv") that leads to the same file.
#ifndef RUNCHECKS_H
#define RUNCHECKS_H

#include "RunRecord.h"
#include "Settings.h"

namespace tarvex {

// Both checks; a series' record is made in `record` (for RunRecord::Write and Since later).
// False, with a message on standard error, when the run must not start.
bool CheckBeforeWriting(const TarvexSettings& s, RunRecord& record);

}  // namespace tarvex

#endif
