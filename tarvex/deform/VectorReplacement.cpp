#include "deform/VectorReplacement.h"

#include <cstddef>

namespace tarvex {

namespace {

enum : unsigned char { kEmpty = 0, kKnown = 1, kFilledThisSweep = 2, kLater = 3 };

// A sum of `count` estimates of a point's u and v.
struct Estimate {
  double u = 0.0, v = 0.0;
  int count = 0;
};

bool Known(const unsigned char* state, int nx, int ny, int i, int j) {
  return i >= 0 && i < ny && j >= 0 && j < nx && state[i * nx + j] == kKnown;
}

// Along each of the four lines through (i, j) (row, column, both diagonals): the mean of
// the two neighbours on it when both are known, else the linear extrapolation 2 f(a) -
// f(b) from two known points a, b beyond it on one side. Exact on a linear field, also at
// the border, where the plain neighbour mean would be off by the gradient.
Estimate LineEstimate(const float* u, const float* v, const unsigned char* state, int nx, int ny,
                      int i, int j) {
  static const int kLines[4][2] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};
  Estimate e;
  for (const auto& d : kLines) {
    for (int side = 1; side >= -1; side -= 2) {
      const int ai = i + side * d[0], aj = j + side * d[1];
      const int ci = i - side * d[0], cj = j - side * d[1];
      const int bi = i + 2 * side * d[0], bj = j + 2 * side * d[1];
      if (!Known(state, nx, ny, ai, aj)) continue;
      const int a = ai * nx + aj;
      if (Known(state, nx, ny, ci, cj)) {
        if (side == -1) break;  // the pair was taken from the other side
        const int c = ci * nx + cj;
        e.u += 0.5 * (u[a] + u[c]);
        e.v += 0.5 * (v[a] + v[c]);
        ++e.count;
        break;
      }
      if (Known(state, nx, ny, bi, bj)) {
        const int b = bi * nx + bj;
        e.u += 2.0 * u[a] - u[b];
        e.v += 2.0 * v[a] - v[b];
        ++e.count;
      }
    }
  }
  return e;
}

// The mean of the known points among the eight around (i, j).
Estimate NeighbourMean(const float* u, const float* v, const unsigned char* state, int nx, int ny,
                       int i, int j) {
  Estimate e;
  for (int ii = i - 1; ii <= i + 1; ++ii) {
    for (int jj = j - 1; jj <= j + 1; ++jj) {
      if (!Known(state, nx, ny, ii, jj)) continue;
      const int q = ii * nx + jj;
      e.u += u[q];
      e.v += v[q];
      ++e.count;
    }
  }
  return e;
}

}  // namespace

int ReplaceInvalidVectors(float* u, float* v, const unsigned char* valid, int nx, int ny,
                          unsigned char* state, const unsigned char* last) {
  const int n = nx > 0 && ny > 0 ? nx * ny : 0;
  int empty = 0, later = 0;
  for (int k = 0; k < n; ++k) {
    const bool waits = !valid[k] && last != nullptr && last[k];
    state[k] = valid[k] ? kKnown : waits ? kLater : kEmpty;
    if (!valid[k]) ++empty;
    if (waits) ++later;
  }
  if (empty == n) {
    for (int k = 0; k < n; ++k) u[k] = v[k] = 0.0f;
    return n > 0 ? -1 : 0;
  }
  const int filled = empty;
  // Every sweep fills at least the empty points next to a known one, and the grid is
  // connected, so the loop ends after at most max(nx, ny) sweeps once no point waits; a
  // sweep that fills nothing lets the waiting points in.
  while (empty > 0) {
    const int before = empty;
    for (int i = 0; i < ny; ++i) {
      for (int j = 0; j < nx; ++j) {
        const int k = i * nx + j;
        if (state[k] != kEmpty) continue;
        Estimate e = LineEstimate(u, v, state, nx, ny, i, j);
        if (e.count == 0) e = NeighbourMean(u, v, state, nx, ny, i, j);
        if (e.count == 0) continue;
        u[k] = static_cast<float>(e.u / e.count);
        v[k] = static_cast<float>(e.v / e.count);
        state[k] = kFilledThisSweep;
        --empty;
      }
    }
    for (int k = 0; k < n; ++k)
      if (state[k] == kFilledThisSweep) state[k] = kKnown;
    if (empty < before || later == 0) continue;
    for (int k = 0; k < n; ++k)
      if (state[k] == kLater) state[k] = kEmpty;
    later = 0;
  }
  return filled;
}

}  // namespace tarvex
