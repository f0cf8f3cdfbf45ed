// Integer peak search, sub-pixel Gaussian fit and peak blanking on a correlation plane
// of ny rows of nx floats.
#ifndef FITPEAK2SUBPIXEL_H
#define FITPEAK2SUBPIXEL_H

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

float search_CCIntPeak(float* array, int nx, int ny, float* xmax, float* ymax);
void CC_fit_linear_exp(float* array, int nx, int ny, float* xloc, float* yloc, float maxv);
float* TwoDGaussianFit(float* data, int nx, int ny, float maxval);
float* subdata(float* data, int nx, int ny, int x, int y, int sx, int sy);
void BlankPeakArea(float* array, int nx, int ny, float xloc, float yloc, float maxv);

#endif
