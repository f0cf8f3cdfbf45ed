// The predictor of a deformation pass: the displacement at every pixel, interpolated from
// a regular grid of vectors measured at their window centres and extended beyond the
// outermost centres out to the image border.
//
// Worked example: 32-pixel windows every 16 px have their first point at x = 15, so the
// window covers columns 0..31 and its centre lies at 15.5 (VectorGrid x0 = 15.5, dx = 16).
// With u = 1 at that point and u = 3 at the next (centre 31.5), bilinear interpolation
// gives u = 1 + 2 (23 - 15.5) / 16 = 1.9375 at column 23 and continues the end segment
// linearly: u = 1 - 2 x 15.5 / 16 = -0.9375 at column 0.
#ifndef DISPLACEMENTPREDICTOR_H
#define DISPLACEMENTPREDICTOR_H

#include "BSplineImage.h"
#include "CArray.h"

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
  CubicBSpline,  // cubic B-spline through the vectors (mirror boundary), constant beyond
};

class DisplacementPredictor {
 public:
  // Takes the field (nx * ny values each of u and v, row after row) for images of
  // `width` pixels a row. Allocates only when a larger grid or image comes; false when
  // memory cannot be obtained or the grid is empty.
  bool Set(const VectorGrid& grid, const float* u, const float* v, PredictorInterpolation how,
           int width);

  // The displacement at pixels (0..width-1, y): scratch holds 2 * nx floats (the caller's,
  // one per thread, so that rows can be evaluated concurrently).
  void Row(int y, float* u, float* v, float* scratch) const;

  // The displacement at one real position (x, y) in pixels, interpolated as Row does.
  void At(double x, double y, float* u, float* v) const;

  int GridColumns() const { return grid_.nx; }

 private:
  // Interpolation weights of the nodes at a pixel position along one axis.
  struct AxisWeights {
    int first;
    float w[4];
  };
  AxisWeights Weights(double pixel, double origin, double spacing, int nodes) const;
  int Taps() const { return how_ == PredictorInterpolation::Bilinear ? 2 : 4; }

  VectorGrid grid_;
  PredictorInterpolation how_ = PredictorInterpolation::Bilinear;
  int width_ = 0;
  CArray<float> u_, v_;          // node values or their B-spline coefficients
  CArray<AxisWeights> columns_;  // the weights of every pixel column, made once per Set
};

#endif
