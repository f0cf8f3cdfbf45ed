// The predictor of a deformation pass: the displacement at every pixel, interpolated from
// a regular grid of vectors measured at their window centres and extended beyond the
// outermost centres out to the image border.
//
// Worked example (bilinear): 32-pixel windows every 16 px have their first point at
// x = 15, so the window covers columns 0..31 and its centre lies at 15.5 (VectorGrid
// x0 = 15.5, dx = 16). With u = 1 at that point and u = 3 at the next (centre 31.5),
// bilinear interpolation gives u = 1 + 2 (23 - 15.5) / 16 = 1.9375 at column 23 and
// continues the end segment linearly: u = 1 - 2 x 15.5 / 16 = -0.9375 at column 0.
//
// The cubic B-spline passes through the vectors too, and follows a curved field between
// them (a sine of six grid spacings a wave to 0.5 % where bilinear interpolation misses
// by 13 % halfway between the nodes). Beyond the outermost vectors it runs through ghost
// nodes: the first one spacing out on the parabola through the three outermost vectors,
// the others on the straight line through that ghost node and the outermost vector. Left
// of the row u = 1, 3, 4 the ghost nodes are 3 x 1 - 3 x 3 + 4 = -2, then -5, -8, ...; a
// linear row 1, 2, 3 gets 0, -1, -2, ...: a gradient holds out to the border.
#ifndef DISPLACEMENTPREDICTOR_H
#define DISPLACEMENTPREDICTOR_H

#include "deform/BSplineImage.h"
#include "support/CArray.h"

namespace tarvex {

// Where the vectors of a grid sit: centre of point (j, i), j the column, is
// (x0 + j dx, y0 + i dy).
struct VectorGrid {
  int nx = 0;
  int ny = 0;
  double x0 = 0.0;
  double y0 = 0.0;
  double dx = 1.0;
  double dy = 1.0;
};

enum class PredictorInterpolation {
  Bilinear,      // piecewise linear between the centres, linear beyond them
  CubicBSpline,  // cubic B-spline through the vectors and the ghost nodes beyond them
};

// Ghost nodes on every side of the grid of a cubic predictor: enough for the spline's
// support at the border and for the prefilter's mirror boundary, beyond the last of
// them, to have faded (by 0.27 a node) where the images end.
constexpr int kPredictorGhostNodes = 8;

class DisplacementPredictor {
 public:
  // Takes the field (nx * ny values each of u and v, row after row) for images of
  // `width` pixels a row. Allocates only when a larger grid or image comes; false when
  // memory cannot be obtained or the grid is empty.
  bool Set(const VectorGrid& grid, const float* u, const float* v, PredictorInterpolation how,
           int width);

  // Floats of scratch Row needs for a grid nx points wide.
  static int ScratchFloats(int nx) { return 2 * (nx + 2 * kPredictorGhostNodes); }

  // The displacement at pixels (0..width-1, y): scratch holds ScratchFloats(nx) floats (the
  // caller's, one per thread, so that rows can be evaluated concurrently).
  void Row(int y, float* u, float* v, float* scratch) const;

  // The displacement at one real position (x, y) in pixels, interpolated as Row does.
  void At(double x, double y, float* u, float* v) const;

  int GridColumns() const { return grid_.nx; }

 private:
  // Interpolation weights of the nodes at a pixel position along one axis, and the nodes
  // they weight (mirrored into the lattice).
  struct AxisWeights {
    float w[4];
    int node[4];
  };
  AxisWeights Weights(double pixel, double origin, double spacing, int nodes) const;
  int Taps() const { return how_ == PredictorInterpolation::Bilinear ? 2 : 4; }
  // Fills the ghost nodes of lattice f (nodes_) from the grid's values inside it.
  void FillGhostNodes(float* f) const;

  VectorGrid grid_;
  VectorGrid nodes_;  // the lattice interpolated: the grid, with its ghost nodes if cubic
  PredictorInterpolation how_ = PredictorInterpolation::Bilinear;
  int width_ = 0;
  CArray<float> u_, v_;          // node values or their B-spline coefficients
  CArray<AxisWeights> columns_;  // the weights of every pixel column, made once per Set
};

}  // namespace tarvex

#endif
