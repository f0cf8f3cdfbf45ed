// Pieces shared by the benchmarks.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <functional>
#include <string>

#include "grid/piv.h"

namespace tarvex {

// Runs f with standard output sent to /dev/null (plan and image messages).
void Quietly(const std::function<void()>& f);

// The plan table, made once per benchmark program in a scratch directory that is removed
// again (the wisdom file is not kept), silently.
FFTWplan* BenchPlanTable();

// Processor time of this process in seconds (summed over its threads): the machine may be
// shared, so wall time would mix in other work.
double CpuSeconds();

// Processor seconds of `count` correlations' worth of bare transforms with the table plans
// of `plans` for an n x n window: two forward, one inverse each; the best of three rounds.
double BareTransformSeconds(FFTWplan* plans, int n, int count);

// Writes an image-pair file of one side x side pair of Gaussian particles (0.02 particles per
// pixel, diameter 2.5 px, 12-bit) whose second image shows the first moved by (3.3, -1.7) px.
void WriteParticlePair(const std::string& path, int side);

}  // namespace tarvex

#endif
