// Window deformation on a grid measured by the single pass: the first-pass field starts
// the refinement passes (DeformationPasses), and the refined field goes back into the
// grid, where the checks, the smoothing and the writers take it as they take a single
// pass's field. One console line per pass says what it did.
//
// Reference point: symmetric deformation measures F(q), the displacement of the particle
// whose path has its midpoint at the window centre q: the velocity at the grid point at
// mid-time, second-order accurate in time. That is what the grid receives by default. On
// request (DeformReference::FirstImage) each vector becomes d = F(q + d/2), the
// displacement of the particle that starts at q, solved by fixed-point steps from d = F(q)
// with F interpolated as the predictor is. A point whose steps do not settle, or whose
// midpoint q + d/2 lies nearer to a grid point without a valid vector than to any other,
// is not referred: it gets flag 0 and a value filled from its neighbours.
//
// Worked example: in a solid rotation of 0.02 rad about the image centre, a point 200 px
// right of the centre has F = (0, 4.000) px at q. Its particle starts at q and passes
// (0, 2) px further on at its midpoint, where F = (-0.040, 4.000): referred to the first
// image the vector is d = (-0.040, 4.000) px, the displacement pivsynth applies to the
// particle at (200, 0) (rotating it by 0.02 rad moves it by (-0.040, 4.000)).
#ifndef DEFORMATIONANALYSIS_H
#define DEFORMATIONANALYSIS_H

#include <atomic>
#include <string>

#include "AnalysisSettings.h"
#include "deform/DeformationPasses.h"
#include "grid/PIVGrid.h"
#include "grid/piv.h"
#include "images/PIVImage.h"
#include "support/CArray.h"
#include "support/Console.h"
#include "support/Status.h"

namespace tarvex {

class DeformationAnalysis {
 public:
  // Threads that deform and correlate (at least 1); the results do not depend on it.
  explicit DeformationAnalysis(int threads);

  // Runs settings.deformPasses passes over the pair in `images` on the grid of `settings`.
  // `start` holds the first-pass field at the same points (`grid` itself, or a grid of
  // larger windows); `grid` receives the result. `mask` (null: none) is the image's mask,
  // whose masked points (as `grid` has them) are never measured. Fails, with the grid
  // unchanged, when the first pass holds no valid vector or memory runs out.
  Status Run(const AnalysisSettings& settings, const PIVImage& images, FFTWplan* plans,
             PIVGrid& start, PIVGrid& grid, const FlowMask* mask, Console& console);
  // After a Run with an uncertainty method: the standard uncertainties of the vectors the
  // grid received (px, one per point in grid order), NaN where its flag is 0; null
  // otherwise.
  const float* SigmaU() const { return estimated_ ? sigmaU_.data : nullptr; }
  const float* SigmaV() const { return estimated_ ? sigmaV_.data : nullptr; }
  // See DeformationPasses::SetCancelFlag.
  void SetCancelFlag(const std::atomic<bool>* cancel) { passes_.SetCancelFlag(cancel); }

 private:
  // Refers the midpoint field (u_, v_, flag_) to the first image in place.
  bool ReferToFirstImage(const WindowGrid& windows, int width, PredictorInterpolation how);

  DeformationPasses passes_;
  DisplacementPredictor final_;
  CArray<float> u_, v_, peak_, firstU_, firstV_, sigmaU_, sigmaV_;
  bool estimated_ = false;
  CArray<unsigned char> flag_, masked_, referred_, state_;
  PassReport reports_[kMaxDeformPasses];
};

}  // namespace tarvex

#endif
