#include "deform/DisplacementPredictor.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarvex {

namespace {

// Ghost node k (1, 2, ...) beyond the outermost node a of a line whose next nodes inward
// are b and c (count: how many of a, b, c the line has): on the parabola through a, b, c
// one spacing out, then on the line through that node and a.
float GhostNode(int k, float a, float b, float c, int count) {
  if (count < 2) return a;
  const float first = count < 3 ? 2.0f * a - b : 3.0f * a - 3.0f * b + c;
  return a + static_cast<float>(k) * (first - a);
}

}  // namespace

bool DisplacementPredictor::Set(const VectorGrid& grid, const float* u, const float* v,
                                PredictorInterpolation how, int width) {
  if (grid.nx < 1 || grid.ny < 1 || width < 1) return false;
  const int ghosts = how == PredictorInterpolation::CubicBSpline ? kPredictorGhostNodes : 0;
  VectorGrid nodes = grid;
  nodes.nx += 2 * ghosts;
  nodes.ny += 2 * ghosts;
  nodes.x0 -= ghosts * grid.dx;
  nodes.y0 -= ghosts * grid.dy;
  const size_t count = static_cast<size_t>(nodes.nx) * static_cast<size_t>(nodes.ny);
  if (!u_.Reserve(count) || !v_.Reserve(count) || !columns_.Reserve(static_cast<size_t>(width)))
    return false;
  grid_ = grid;
  nodes_ = nodes;
  how_ = how;
  width_ = width;
  const size_t rowBytes = static_cast<size_t>(grid.nx) * sizeof(float);
  for (int i = 0; i < grid.ny; ++i) {
    const size_t to = static_cast<size_t>(i + ghosts) * static_cast<size_t>(nodes.nx) + static_cast<size_t>(ghosts);
    const size_t from = static_cast<size_t>(i) * static_cast<size_t>(grid.nx);
    std::memcpy(u_.data + to, u + from, rowBytes);
    std::memcpy(v_.data + to, v + from, rowBytes);
  }
  if (how == PredictorInterpolation::CubicBSpline) {
    FillGhostNodes(u_.data);
    FillGhostNodes(v_.data);
    Prefilter(u_.data, nodes.nx, nodes.ny, BSplineDegree::Cubic);
    Prefilter(v_.data, nodes.nx, nodes.ny, BSplineDegree::Cubic);
  }
  for (int x = 0; x < width; ++x) columns_.data[x] = Weights(x, nodes.x0, nodes.dx, nodes.nx);
  return true;
}

void DisplacementPredictor::FillGhostNodes(float* f) const {
  const int g = kPredictorGhostNodes;
  const int nx = nodes_.nx;
  const int countX = grid_.nx, countY = grid_.ny;
  const int lastX = g + countX - 1, lastY = g + countY - 1;
  // Along the rows of the grid, then along every column of the widened rows.
  for (int i = g; i <= lastY; ++i) {
    float* r = f + static_cast<size_t>(i) * static_cast<size_t>(nx);
    const int n = std::min(countX, 3);
    for (int k = 1; k <= g; ++k) {
      r[g - k] = GhostNode(k, r[g], r[g + std::min(1, n - 1)], r[g + std::min(2, n - 1)], n);
      r[lastX + k] = GhostNode(k, r[lastX], r[lastX - std::min(1, n - 1)], r[lastX - std::min(2, n - 1)], n);
    }
  }
  const size_t row = static_cast<size_t>(nx);
  for (int j = 0; j < nx; ++j) {
    float* c = f + j;
    const int n = std::min(countY, 3);
    const auto at = [&](int i) -> float& { return c[static_cast<size_t>(i) * row]; };
    for (int k = 1; k <= g; ++k) {
      at(g - k) = GhostNode(k, at(g), at(g + std::min(1, n - 1)), at(g + std::min(2, n - 1)), n);
      at(lastY + k) = GhostNode(k, at(lastY), at(lastY - std::min(1, n - 1)), at(lastY - std::min(2, n - 1)), n);
    }
  }
}

DisplacementPredictor::AxisWeights DisplacementPredictor::Weights(double pixel, double origin,
                                                                  double spacing, int nodes) const {
  const double s = (pixel - origin) / spacing;
  AxisWeights a{};
  int first = 0;
  if (how_ == PredictorInterpolation::CubicBSpline) {
    // Within the ghost nodes for every pixel of the image; held there beyond them.
    first = BSplineWeights(BSplineDegree::Cubic, std::clamp(s, 0.0, nodes - 1.0), a.w);
  } else {
    // The end segments continue linearly out to the border, so that a gradient holds
    // there too (at most half a window beyond the outermost centre).
    const int k = std::clamp(static_cast<int>(std::floor(s)), 0, std::max(nodes - 2, 0));
    const double t = nodes > 1 ? s - k : 0.0;
    first = k;
    a.w[0] = static_cast<float>(1.0 - t);
    a.w[1] = static_cast<float>(t);
  }
  for (int t = 0; t < 4; ++t) a.node[t] = MirrorIndex(first + t, nodes);
  return a;
}

void DisplacementPredictor::Row(int y, float* u, float* v, float* scratch) const {
  const int nx = nodes_.nx;
  const int ny = nodes_.ny;
  const int taps = Taps();
  float* ru = scratch;
  float* rv = scratch + nx;
  // The lattice row at this y, combined from the node rows, then interpolated along x.
  const AxisWeights wy = Weights(y, nodes_.y0, nodes_.dy, ny);
  std::fill(ru, ru + nx, 0.0f);
  std::fill(rv, rv + nx, 0.0f);
  for (int t = 0; t < taps; ++t) {
    const size_t row = static_cast<size_t>(wy.node[t]) * static_cast<size_t>(nx);
    const float w = wy.w[t];
    for (int j = 0; j < nx; ++j) {
      ru[j] += w * u_.data[row + j];
      rv[j] += w * v_.data[row + j];
    }
  }
  const AxisWeights* columns = columns_.data;
  if (taps == 2) {
    for (int x = 0; x < width_; ++x) {
      const AxisWeights& wx = columns[x];
      u[x] = wx.w[0] * ru[wx.node[0]] + wx.w[1] * ru[wx.node[1]];
      v[x] = wx.w[0] * rv[wx.node[0]] + wx.w[1] * rv[wx.node[1]];
    }
    return;
  }
  for (int x = 0; x < width_; ++x) {
    const AxisWeights& wx = columns[x];
    u[x] = ((wx.w[0] * ru[wx.node[0]] + wx.w[1] * ru[wx.node[1]]) + wx.w[2] * ru[wx.node[2]]) + wx.w[3] * ru[wx.node[3]];
    v[x] = ((wx.w[0] * rv[wx.node[0]] + wx.w[1] * rv[wx.node[1]]) + wx.w[2] * rv[wx.node[2]]) + wx.w[3] * rv[wx.node[3]];
  }
}

void DisplacementPredictor::At(double x, double y, float* u, float* v) const {
  const AxisWeights wx = Weights(x, nodes_.x0, nodes_.dx, nodes_.nx);
  const AxisWeights wy = Weights(y, nodes_.y0, nodes_.dy, nodes_.ny);
  const int taps = Taps();
  float su = 0.0f, sv = 0.0f;
  for (int r = 0; r < taps; ++r) {
    const size_t row = static_cast<size_t>(wy.node[r]) * static_cast<size_t>(nodes_.nx);
    for (int c = 0; c < taps; ++c) {
      const size_t node = row + static_cast<size_t>(wx.node[c]);
      su += wy.w[r] * wx.w[c] * u_.data[node];
      sv += wy.w[r] * wx.w[c] * v_.data[node];
    }
  }
  *u = su;
  *v = sv;
}

}  // namespace tarvex
