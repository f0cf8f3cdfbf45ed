// The FFT plan table shared by the tests that correlate with table plans.
#ifndef PLANTABLE_H
#define PLANTABLE_H

#include "grid/piv.h"

namespace tarvex {

// The table, made once per test program in a scratch directory (the wisdom file lands
// there, and the start-up messages are swallowed) and kept for the whole run, as tarvex
// keeps it. Aborts when it cannot be made.
FFTWplan* Plans();

}  // namespace tarvex

#endif
