// The DFT sizes of the plan table, known before any plan is made.
//
// Worked example: entries 0 to 17 are the square sizes 4, 8, 12, 16, 20, 24, 32, 40, 48, 64,
// 80, 100, 128, 188, 256, 300, 400, 512, entry 18 is 24 x 48 and entry 19 48 x 24 (nx columns
// by ny rows). HasTablePlan(64) is true, HasTablePlan(36) false.
#ifndef PLANTABLESIZES_H
#define PLANTABLESIZES_H

namespace tarvex {

constexpr int kNumberOfFFTWPlans = 20;

// DFT sizes (columns, rows) of the table entries, in table order: eighteen square
// sizes, then the two non-square ones.
inline constexpr int kPlanSizes[kNumberOfFFTWPlans][2] = {
    {4, 4},     {8, 8},     {12, 12},   {16, 16},   {20, 20},   {24, 24},   {32, 32},
    {40, 40},   {48, 48},   {64, 64},   {80, 80},   {100, 100}, {128, 128}, {188, 188},
    {256, 256}, {300, 300}, {400, 400}, {512, 512}, {24, 48},   {48, 24}};

// Whether the table holds an entry for n x n windows.
inline bool HasTablePlan(int n) {
  for (const auto& size : kPlanSizes) {
    if (size[0] == n && size[1] == n) return true;
  }
  return false;
}

}  // namespace tarvex

#endif
