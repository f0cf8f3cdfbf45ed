// What decides the analysis of an image pair, handed in by the caller (the command line, a
// cluster rank, the Python module): the library reads no settings of its own.
//
// Worked example: 32 x 32 windows every 16 px on a 256 x 256 image give a grid of
// GridCount(256, 32, 16) = (256 - 32) / 16 + 1 = 15 points a side; the first point sits at
// x = y = 32/2 - 1 = 15, its window covering columns and rows 0 to 31. On a 31-pixel side no
// 32-pixel window fits: GridCount(31, 32, 16) = 0.
#ifndef ANALYSISSETTINGS_H
#define ANALYSISSETTINGS_H

#include "peaks/ThreePointGaussian.h"  // SubPixelEstimator
#include "uncertainty/VectorUncertainty.h"   // UncertaintyMethod

namespace tarvex {

// Where a deformation analysis refers each vector: to the window centre at the middle of
// the particle's path (the central-difference field F(q), the velocity at the grid point
// at mid-time), or to the particle's position in the first image (d = F(q + d/2)).
enum class DeformReference { Midpoint, FirstImage };

struct AnalysisSettings {
  int windowWidth = 64;   // DFT size in pixels
  int windowHeight = 64;
  int spacingX = 64;      // grid spacing in pixels
  int spacingY = 64;
  int offsetX = 0;        // grid offset in the image
  int offsetY = 0;
  bool twoPass = false;   // validate, smooth, offset every window by the result, correlate again

  // The checks run after the calculation, each when switched on, always in this order.
  bool checkMinRho = false;
  float minRho = 0.0f;              // smallest accepted correlation peak
  bool checkMaxVelocity = false;
  float maxVelocityRatio = 0.5f;    // largest displacement as a fraction of the window width
  bool checkGlobalHistogram = false;
  float histogramDeviations = 3.0f; // C3: standard deviations from the field mean
  bool checkMedian = false;
  float medianThreshold = 1.0f;     // C4: pixels from the neighbours' median
  bool checkDynamicMean = false;
  float dynamicMeanC1 = 1.0f;       // also used inside the two-pass calculation
  float dynamicMeanC2 = 1.0f;

  bool smooth = false;              // 3 x 3 moving average that also fills rejected vectors
  SubPixelEstimator subpix = SubPixelEstimator::Fit;
  bool meanSubtraction = false;     // only with SubPixelEstimator::Gauss3
  int threads = 1;                  // threads measuring the points; 0 = one per core

  // Window deformation: after the first pass, this many refinement passes (0: none). The
  // first pass is then the three-point estimator with mean subtraction, never two-pass.
  int deformPasses = 0;
  // The square window of the first pass of a deformation analysis, centred on the same
  // grid points (0: the DFT size); a plan-table size larger than the DFT size.
  int firstWindow = 0;
  DeformReference deformReference = DeformReference::Midpoint;
  // With deformation passes: how the last pass estimates each vector's standard
  // uncertainty (None: not at all, at no cost). Nothing that is written or printed changes.
  UncertaintyMethod uncertainty = UncertaintyMethod::None;

  // Pre-processing of both images of every pair before any pass (see PairPreprocessing): a
  // background handed to PairAnalysis::SetBackground subtracted, a high-pass with boxes of
  // this many pixels a side (0: none), intensity capping. With any of them, windows that hold
  // no particle images are not measured (see ParticleContent).
  bool subtractBackground = false;
  int highPassSize = 0;
  bool capIntensity = false;
};

// Whether the settings ask for any pre-processing.
bool Preprocesses(const AnalysisSettings& s);

// Most refinement passes a deformation analysis runs.
constexpr int kMaxDeformPasses = 20;

// Whether `window` may serve as the first-pass window for a DFT size of fftx x ffty: a
// square size of the plan table larger than both sides (64 for 32 x 32, not 36 or 32).
bool UsableFirstWindow(int window, int fftx, int ffty);

// Number of windows of size `window` at spacing `spacing` that fit in an image side of
// `side` pixels: the last window must end inside the image.
int GridCount(int side, int window, int spacing);

}  // namespace tarvex

#endif
