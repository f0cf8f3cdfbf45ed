// The table of FFT plans made once at start-up, and its size-to-entry lookup.
//
// Worked example: entries 0 to 17 are the square sizes 4, 8, 12, 16, 20, 24, 32, 40, 48, 64,
// 80, 100, 128, 188, 256, 300, 400, 512, entry 18 is 24 x 48 and entry 19 48 x 24 (nx columns
// by ny rows). SelectFFTWPlan(table, 32, 32) is entry 6, (48, 24) entry 19; 36 x 36 has no
// entry (null), so a point of that size gets no table plan.
#ifndef DEFINEFFTWPLANS_H
#define DEFINEFFTWPLANS_H

#include "correlation/PlanTableSizes.h"
#include "grid/piv.h"
#include "support/Console.h"

namespace tarvex {

extern const char* const kWisdomFileName;  // "FFTPlans.Wisdom.dat"

// Builds the 20-entry plan table (importing/exporting the wisdom file) and stores its
// address in *Ptrfftwplan, or a null pointer when the table cannot be allocated.
void DefineFFTWPlans(FFTWplan** Ptrfftwplan, int speed, int silent);

// The same table with its messages on console, the wisdom kept in wisdomFile (none when
// null); null when the table cannot be allocated. DestroyFFTWPlanTable releases it.
FFTWplan* MakeFFTWPlanTable(int speed, bool silent, const char* wisdomFile, Console& console);
void DestroyFFTWPlanTable(FFTWplan* table);

// Owns a plan table for as long as its callers use it.
class FFTPlanTable {
 public:
  FFTPlanTable(int speed, bool silent, const char* wisdomFile, Console& console)
      : table_(MakeFFTWPlanTable(speed, silent, wisdomFile, console)) {}
  ~FFTPlanTable() { DestroyFFTWPlanTable(table_); }
  FFTPlanTable(const FFTPlanTable&) = delete;
  FFTPlanTable& operator=(const FFTPlanTable&) = delete;
  // Null when the table could not be allocated.
  FFTWplan* Entries() const { return table_; }

 private:
  FFTWplan* table_;
};

// The table entry for a DFT size of nx columns by ny rows, or null.
FFTWplan* SelectFFTWPlan(FFTWplan* fftwplan, int nx, int ny);

}  // namespace tarvex

#endif
