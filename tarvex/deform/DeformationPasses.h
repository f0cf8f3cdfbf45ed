// The refinement passes of a window-deformation analysis on plain arrays. From a first
// field (measured by the single pass) each pass validates the field, fills rejected and
// never-measured points from their neighbours, filters it into the predictor, deforms both
// images symmetrically along the predictor and correlates them again at the same grid
// points; after the last pass the validation sets the flags.
//
// Why each piece (measured in bench/deform_accuracy.sh; the figures are in docs/):
// - The five-tap predictor filter removes the alternating error the windows cannot see
//   and keeps waves of six grid spacings to 94 % (the [1 2 1] filter keeps 75 % and the
//   passes then settle on a field several per cent too weak).
// - The cubic predictor follows curved fields between the vectors and, through its ghost
//   nodes, beyond the outermost ones.
// - Gaussian-weighted windows in the passes before the last make the iteration see
//   structure smaller than the window; the last pass correlates the whole windows, whose
//   random error is lower.
// - Between passes the normalised median test judges what each pass changed (the flow's
//   own curvature is in the predictor already); the final flags judge the field itself.
//   Both normalise by the spread of the 5 x 5 neighbourhood, so that a resolved crest of a
//   wave, or a vortex core, is not an outlier (NormalisedMedianTest.h).
// - A refined vector is a measurement only where its correlation peak stands out (a peak
//   ratio of 1.2) and the residual stays within a quarter of the window; and no vector
//   goes beyond half the first pass's window, which is all the first pass could measure.
//
// Example: a 512 x 512 pivsynth pair moved by (0.7, 0.35) px, 32 x 32 windows every 16 px
// (31 x 31 points, of which the last row and column never fit: 61 points filled before
// every pass), three passes: the RMS changes of the passes are 0.046, 0.0036 and 0.0034 px
// and the RMS error falls from 0.057 px (the single pass, peak-locked) to 0.0090 px.
#ifndef DEFORMATIONPASSES_H
#define DEFORMATIONPASSES_H

#include <atomic>
#include <memory>
#include <vector>

#include "correlation/CorrelationWorkspace.h"
#include "deform/BSplineImage.h"
#include "deform/DisplacementPredictor.h"
#include "deform/NormalisedMedianTest.h"
#include "deform/PredictorSmoothing.h"
#include "deform/RefinementPass.h"
#include "deform/SymmetricDeformation.h"
#include "images/ImagePairView.h"
#include "support/CArray.h"
#include "support/Status.h"

namespace tarvex {

// The defaults are those of tarvex -deform.
struct DeformationSettings {
  int passes = 3;                                   // refinement passes, 1..20
  BSplineDegree degree = BSplineDegree::Quintic;    // image interpolation
  PredictorInterpolation predictor = PredictorInterpolation::CubicBSpline;
  PredictorFilter filter = PredictorFilter::FiveTap;
  MedianTestSettings median{2.0, 0.1, MedianTestSpread::FiveByFive};  // between passes and at the end
  // Between passes, judge the change of each pass rather than the field itself.
  bool judgeChanges = true;
  // Gaussian weighting of the windows of the passes before the last: the standard
  // deviation in window widths (0: none); `weightLastPass` weights the last pass too.
  double weightSigma = 0.2;
  bool weightLastPass = false;
  RefinementCriteria criteria;
  // Largest displacement a vector may have along x and y (0: no limit): what the first
  // pass's windows could have measured.
  float maxDisplacementX = 0.0f;
  float maxDisplacementY = 0.0f;
  // How the last pass estimates each vector's standard uncertainty (None: not at all).
  UncertaintyMethod uncertainty = UncertaintyMethod::None;
};

// What one pass did.
struct PassReport {
  int rejected = 0;       // measured vectors the validation rejected before the pass
  int replaced = 0;       // points filled before the pass (rejected and never measured)
  int measured = 0;       // points the pass measured
  double rmsChange = 0;   // px: RMS over those points of the new field minus the predictor
};

// The field on the grid, one value per point, row after row; the caller's arrays.
struct GridField {
  float* u = nullptr;
  float* v = nullptr;
  float* peak = nullptr;
  // In: 1 where the first pass holds a valid vector. Out: 1 where the final vector
  // passed the validation, 0 where it was rejected or never measured (its value then
  // replaced from the neighbours).
  unsigned char* flag = nullptr;
  // Out, with an uncertainty method: the standard uncertainties of the final vectors
  // (px), NaN where the flag is 0. Untouched without one.
  float* sigmaU = nullptr;
  float* sigmaV = nullptr;
};

class DeformationPasses {
 public:
  // Threads that deform and correlate (at least 1); the results do not depend on it.
  explicit DeformationPasses(int threads);
  DeformationPasses(const DeformationPasses&) = delete;
  DeformationPasses& operator=(const DeformationPasses&) = delete;

  // Runs settings.passes passes over the pair of images and
  // writes settings.passes reports. `plan` is the table entry of the window size (null:
  // temporary plans, which allocate). Fails when the settings or the grid are unusable
  // or the first field holds no valid vector (nothing to predict from), with the field
  // unchanged, or when memory cannot be obtained, saying which. Masked points
  // (`mask`) are never measured, and are filled from their neighbours only after all other
  // points, so that the predictor next to a wall is the flow's own; masked pixels are set
  // to their image's flow mean before the images are interpolated, so that the deformation
  // carries nothing of a wall into the flow beside it.
  Status Run(const ImagePairView& images, const WindowGrid& grid, const FFTWplan* plan,
             const DeformationSettings& settings, const GridField& field, PassReport* reports,
             const GridMask& mask = {});

  // A cancellation flag (borrowed; null: none): once set, the points not yet measured are
  // left out and Run stops before the next pass with the error "the analysis was cancelled".
  void SetCancelFlag(const std::atomic<bool>* cancel);

  // The deformed images of the last pass (width * height floats each).
  const float* DeformedFirst() const { return deformed1_.data; }
  const float* DeformedSecond() const { return deformed2_.data; }

 private:
  bool Reserve(int width, int height, const WindowGrid& grid, const DeformationSettings& s, bool masked);
  void PrefilterImages(const unsigned short* first, const unsigned short* second, int width,
                       int height, BSplineDegree degree);
  void Deform(int width, int height, BSplineDegree degree);
  bool Correlate(const WindowGrid& grid, int width, int height, const FFTWplan* plan,
                 const float* weight, const RefinementCriteria& criteria, const GridMask& mask,
                 const PassField& out);
  // Validates the measured points (the limits, then the median test on the field, or on
  // its change from the last predictor when `changes`) and fills the others; returns the
  // number of measured points rejected.
  int ValidateAndFill(const GridField& field, int nx, int ny, const DeformationSettings& s,
                      bool changes, const unsigned char* maskedPoints, int* replaced);

  int threads_;
  CArray<float> coefficients1_, coefficients2_, deformed1_, deformed2_;
  CArray<float> predictedU_, predictedV_, changeU_, changeV_, weight_, smoothing_;
  CArray<unsigned char> measured_, state_;
  CArray<unsigned short> blanked1_, blanked2_;  // the images with their masked pixels blanked
  DisplacementPredictor predictor_;
  std::vector<std::unique_ptr<CorrelationWorkspace>> workspaces_;
  const std::atomic<bool>* cancel_ = nullptr;
  std::vector<std::unique_ptr<DeformationRows>> rows_;
};

}  // namespace tarvex

#endif
