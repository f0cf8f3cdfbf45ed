// Integer peak search, sub-pixel Gaussian fit and peak blanking on a correlation plane
// of ny rows of nx floats.
//
// Worked example: along the peak's row 0 0.02 0.3 0.6 0.9 [1] 0.8 0.5 0.2 0.005 0 0 the walk
// counts a cell while the next one out is lower and the cell is above 1 % of the peak: 4 to
// the left (0.9 to 0.02) and 3 to the right (0.8 to 0.2; 0.005 is too low), so the fit takes
// 2*((4 + 3)/2) + 1 = 7 columns centred on the peak, 2 to 8. On a 12 x 12 plane sampling
// exp(-((x - 5.3)^2 + (y - 4.8)^2) / 4) the highest cell is (5, 5); the fit moves it to
// (5.3, 4.8), reported as the displacement (5.3 - 12/2 + 1, 4.8 - 12/2 + 1) = (0.3, -0.2).
#ifndef FITPEAK2SUBPIXEL_H
#define FITPEAK2SUBPIXEL_H

#include "peaks/ChisqSVDFitFunctions.h"
#include "support/CArray.h"

namespace tarvex {

// Start value of the peak search; a search that finds no candidate returns it.
constexpr float kNoPeakValue = -1e7f;

// A rectangle of the plane around a peak: first column x0, first row y0, lenx x leny.
struct PeakNeighbourhood {
  int x0;
  int y0;
  int lenx;
  int leny;
};

// Whether the neighbourhood is meant for the fit (cap at the plane size) or for the
// blanking (column start 0 also resets, no cap).
enum class NeighbourhoodUse { Fit, Blank };

// The slope-walk neighbourhood of the cell (ix, iy) with peak value maxv.
PeakNeighbourhood SelectPeakNeighbourhood(const float* array, int nx, int ny, int ix, int iy,
                                          float maxv, NeighbourhoodUse use);

// Number of coefficients of the Gaussian fit (constant, x, x^2, y, y^2).
constexpr int kGaussianCoefficients = 5;

float search_CCIntPeak(float* array, int nx, int ny, float* xmax, float* ymax);
void CC_fit_linear_exp(float* array, int nx, int ny, float* xloc, float* yloc, float maxv);
float* TwoDGaussianFit(float* data, int nx, int ny, float maxval);
float* subdata(float* data, int nx, int ny, int x, int y, int sx, int sy);
// Columns x0..x1-1 of rows y0..y1-1 of a plane.
struct CellRange {
  int x0;
  int y0;
  int x1;
  int y1;
};
// Sets the neighbourhood of the peak to 0 and returns the cells it set.
CellRange BlankPeakArea(float* array, int nx, int ny, float xloc, float yloc, float maxv);

// The working arrays of the peak fit, kept from one fit to the next: the neighbourhood
// copy, the points x, y, z, the coefficients and the arrays of svdfit_xy.
struct GaussianFitWork {
  // Room for neighbourhoods of up to mp cells; allocates only to grow.
  bool Reserve(int mp);
  CArray<float> sub, x, y, z;
  float a[kGaussianCoefficients + 1];
  SVDFitWork svd;
};

// Variants of the functions above that write into caller buffers and allocate nothing
// once `work` holds the plane's nx*ny cells; the same arithmetic.
void subdata_into(const float* data, int nx, int x, int y, int sx, int sy, float* out);
// The coefficients go to work.a; false when work cannot hold nx*ny points (no message) or
// the decomposition does not converge (svdcmp_ says so); the caller then keeps the integer peak.
bool TwoDGaussianFit(const float* data, int nx, int ny, float maxval, GaussianFitWork& work);
void CC_fit_linear_exp(const float* array, int nx, int ny, float* xloc, float* yloc, float maxv,
                       GaussianFitWork& work);

}  // namespace tarvex

#endif
