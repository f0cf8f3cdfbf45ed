#include "VectorReplacement.h"

#include <cstddef>

namespace {

enum : unsigned char { kEmpty = 0, kKnown = 1, kFilledThisSweep = 2 };

}  // namespace

int ReplaceInvalidVectors(float* u, float* v, const unsigned char* valid, int nx, int ny,
                          unsigned char* state) {
  const int n = nx > 0 && ny > 0 ? nx * ny : 0;
  int empty = 0;
  for (int k = 0; k < n; ++k) {
    state[k] = valid[k] ? kKnown : kEmpty;
    if (!valid[k]) ++empty;
  }
  if (empty == n) {
    for (int k = 0; k < n; ++k) u[k] = v[k] = 0.0f;
    return n > 0 ? -1 : 0;
  }
  const int filled = empty;
  // Every sweep fills at least the empty points next to a known one, and the grid is
  // connected, so the loop ends after at most max(nx, ny) sweeps.
  while (empty > 0) {
    for (int i = 0; i < ny; ++i) {
      for (int j = 0; j < nx; ++j) {
        const int k = i * nx + j;
        if (state[k] != kEmpty) continue;
        double su = 0.0, sv = 0.0;
        int count = 0;
        for (int ii = i - 1; ii <= i + 1; ++ii) {
          for (int jj = j - 1; jj <= j + 1; ++jj) {
            if (ii < 0 || ii >= ny || jj < 0 || jj >= nx) continue;
            const int q = ii * nx + jj;
            if (state[q] != kKnown) continue;
            su += u[q];
            sv += v[q];
            ++count;
          }
        }
        if (count == 0) continue;
        u[k] = static_cast<float>(su / count);
        v[k] = static_cast<float>(sv / count);
        state[k] = kFilledThisSweep;
        --empty;
      }
    }
    for (int k = 0; k < n; ++k)
      if (state[k] == kFilledThisSweep) state[k] = kKnown;
  }
  return filled;
}
