#include "DisplacementPredictor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool DisplacementPredictor::Set(const VectorGrid& grid, const float* u, const float* v,
                                PredictorInterpolation how, int width) {
  if (grid.nx < 1 || grid.ny < 1 || width < 1) return false;
  const size_t nodes = static_cast<size_t>(grid.nx) * static_cast<size_t>(grid.ny);
  if (!u_.Reserve(nodes) || !v_.Reserve(nodes) || !columns_.Reserve(static_cast<size_t>(width)))
    return false;
  grid_ = grid;
  how_ = how;
  width_ = width;
  std::memcpy(u_.data, u, nodes * sizeof(float));
  std::memcpy(v_.data, v, nodes * sizeof(float));
  if (how == PredictorInterpolation::CubicBSpline) {
    Prefilter(u_.data, grid.nx, grid.ny, BSplineDegree::Cubic);
    Prefilter(v_.data, grid.nx, grid.ny, BSplineDegree::Cubic);
  }
  for (int x = 0; x < width; ++x) columns_.data[x] = Weights(x, grid.x0, grid.dx, grid.nx);
  return true;
}

DisplacementPredictor::AxisWeights DisplacementPredictor::Weights(double pixel, double origin,
                                                                  double spacing, int nodes) const {
  const double s = (pixel - origin) / spacing;
  AxisWeights a{};
  if (how_ == PredictorInterpolation::CubicBSpline) {
    // Held at the outermost nodes: constant beyond them.
    a.first = BSplineWeights(BSplineDegree::Cubic, std::clamp(s, 0.0, nodes - 1.0), a.w);
    return a;
  }
  // The end segments continue linearly out to the border, so that a gradient holds
  // there too (at most half a window beyond the outermost centre).
  const int k = std::clamp(static_cast<int>(std::floor(s)), 0, std::max(nodes - 2, 0));
  const double t = nodes > 1 ? s - k : 0.0;
  a.first = k;
  a.w[0] = static_cast<float>(1.0 - t);
  a.w[1] = static_cast<float>(t);
  return a;
}

void DisplacementPredictor::Row(int y, float* u, float* v, float* scratch) const {
  const int nx = grid_.nx;
  const int ny = grid_.ny;
  const int taps = Taps();
  float* ru = scratch;
  float* rv = scratch + nx;
  // The grid row at this y, combined from the node rows, then interpolated along x.
  const AxisWeights wy = Weights(y, grid_.y0, grid_.dy, ny);
  std::fill(ru, ru + nx, 0.0f);
  std::fill(rv, rv + nx, 0.0f);
  for (int t = 0; t < taps; ++t) {
    const size_t row = static_cast<size_t>(MirrorIndex(wy.first + t, ny)) * static_cast<size_t>(nx);
    const float w = wy.w[t];
    for (int j = 0; j < nx; ++j) {
      ru[j] += w * u_.data[row + j];
      rv[j] += w * v_.data[row + j];
    }
  }
  for (int x = 0; x < width_; ++x) {
    const AxisWeights& wx = columns_.data[x];
    float su = 0.0f, sv = 0.0f;
    for (int t = 0; t < taps; ++t) {
      const int j = MirrorIndex(wx.first + t, nx);
      su += wx.w[t] * ru[j];
      sv += wx.w[t] * rv[j];
    }
    u[x] = su;
    v[x] = sv;
  }
}

void DisplacementPredictor::At(double x, double y, float* u, float* v) const {
  const AxisWeights wx = Weights(x, grid_.x0, grid_.dx, grid_.nx);
  const AxisWeights wy = Weights(y, grid_.y0, grid_.dy, grid_.ny);
  const int taps = Taps();
  float su = 0.0f, sv = 0.0f;
  for (int r = 0; r < taps; ++r) {
    const size_t row = static_cast<size_t>(MirrorIndex(wy.first + r, grid_.ny)) * static_cast<size_t>(grid_.nx);
    for (int c = 0; c < taps; ++c) {
      const size_t node = row + static_cast<size_t>(MirrorIndex(wx.first + c, grid_.nx));
      su += wy.w[r] * wx.w[c] * u_.data[node];
      sv += wy.w[r] * wx.w[c] * v_.data[node];
    }
  }
  *u = su;
  *v = sv;
}
