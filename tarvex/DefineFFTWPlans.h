// The table of FFT plans made once at start-up, and its size-to-entry lookup.
#ifndef DEFINEFFTWPLANS_H
#define DEFINEFFTWPLANS_H

#include "piv.h"

constexpr int kNumberOfFFTWPlans = 20;
extern const char* const kWisdomFileName;  // "FFTPlans.Wisdom.dat"

// Builds the 20-entry plan table (importing/exporting the wisdom file) and stores its
// address in *Ptrfftwplan, or a null pointer when the table cannot be allocated.
void DefineFFTWPlans(FFTWplan** Ptrfftwplan, int speed, int silent);

// The table entry for a DFT size of nx columns by ny rows, or null.
FFTWplan* SelectFFTWPlan(FFTWplan* fftwplan, int nx, int ny);

#endif
