// Tick marks at round numbers, and the round length of the reference arrow.
// Example: 0 to 511 with at most 6 ticks gives the step 100 and ticks 0, 100, ... 500;
// -0.047 to 0.047 with at most 5 gives the step 0.02: -0.04, -0.02, 0, 0.02, 0.04,
// labelled "-0.04" ... "0.04".
#ifndef PIVPLOT_TICKS_H
#define PIVPLOT_TICKS_H

#include <string>
#include <vector>

struct Ticks {
  double step = 0;
  std::vector<double> values;
};

// Ticks at whole multiples of a step of 1, 2 or 5 times a power of ten inside [lo, hi],
// at most max_count of them (at least one step is tried; lo < hi).
Ticks RoundTicks(double lo, double hi, int max_count);

// The label of a tick value with as many decimals as the step needs ("0" never "-0").
std::string TickLabel(double value, double step);

// The largest 1, 2 or 5 times a power of ten not above length (1 for 0 or less).
double RoundLengthBelow(double length);

#endif
