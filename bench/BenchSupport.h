// Pieces shared by the benchmarks.
#ifndef BENCHSUPPORT_H
#define BENCHSUPPORT_H

#include <functional>

#include "piv.h"

// Runs f with standard output sent to /dev/null (plan and image messages).
void Quietly(const std::function<void()>& f);

// The plan table, made once per benchmark program in a scratch directory that is removed
// again (the wisdom file is not kept), silently.
FFTWplan* BenchPlanTable();

#endif
