#include "PairAnalysis.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "correlation/DefineFFTWPlans.h"
#include "grid/WindowGeometry.h"
#include "preprocess/ParticleContent.h"
#include "support/WorkerThreads.h"

namespace tarvex {

namespace {

// The settings a grid's points measure with, handed to another grid of the same analysis.
void ApplyModes(const AnalysisSettings& s, PIVGrid& grid, Console& console) {
  grid.setConsole(&console);
  grid.setSubPixelEstimator(s.subpix);
  grid.setMeanSubtraction(s.meanSubtraction);
  grid.setThreads(s.threads);
}

// Formats a setting the way a stream prints a float: up to six significant digits, no
// trailing zeros (0.5 prints as 0.5, 3 as 3).
void PrintValue(Console& console, float value) { console.Printf("%g", static_cast<double>(value)); }

}  // namespace

PairAnalysis::PairAnalysis(const AnalysisSettings& settings, FFTWplan* plans, PIVImage& images,
                           Console& console)
    : settings_(settings),
      plans_(plans),
      images_(images),
      console_(console),
      processed_(Preprocesses(settings) ? std::make_unique<PIVImage>(images.Width(), images.Height()) : nullptr),
      preprocessing_(settings),
      grid_(1, 9999, GridCount(images.Width(), settings.windowWidth, settings.spacingX),
            GridCount(images.Height(), settings.windowHeight, settings.spacingY), settings.offsetX,
            settings.offsetY, settings.spacingX, settings.spacingY, 0, 0, settings.windowWidth,
            settings.windowHeight, unknown, plans, &Analysed()) {
  const AnalysisSettings& s = settings_;
  // The constants of the checks asked for, in a fixed order; the others keep the grid's own.
  if (s.checkMinRho) grid_.setMinRho(s.minRho);
  if (s.checkMaxVelocity)
    grid_.setMaxVel(static_cast<float>(s.windowWidth) * s.maxVelocityRatio);
  if (s.checkGlobalHistogram) grid_.setGlobalHistogramConstant(s.histogramDeviations);
  if (s.checkMedian) grid_.setMedianValueThreshold(s.medianThreshold);
  if (s.checkDynamicMean) grid_.setDynamicMeanValueConstants(s.dynamicMeanC1, s.dynamicMeanC2);
  ApplyModes(s, grid_, console_);
  if (s.deformPasses > 0) deformation_ = std::make_unique<DeformationAnalysis>(grid_.Threads());
  if (s.deformPasses > 0 && s.firstWindow > 0) {
    // Larger windows centred on the same points: a point at x covers columns
    // x - w/2 + 1 .. x + w/2 for any even w, so the offset shifts by half the difference.
    const int w = s.firstWindow;
    firstGrid_ = std::make_unique<PIVGrid>(
        1, 9999, grid_.NX(), grid_.NY(), s.offsetX + s.windowWidth / 2 - w / 2,
        s.offsetY + s.windowHeight / 2 - w / 2, s.spacingX, s.spacingY, 0, 0, w, w, unknown, plans,
        &Analysed());
    ApplyModes(s, *firstGrid_, console_);
  }
}

// The points of a grid of larger first-pass windows are those of the grid, and so are
// their masked points: both grids classify them with the grid's window.
bool PairAnalysis::SetMask(MaskImage mask) {
  if (mask.Width() != images_.Width() || mask.Height() != images_.Height()) return false;
  mask_ = std::make_unique<FlowMask>(std::move(mask));
  const AnalysisSettings& s = settings_;
  maskedPoints_ = grid_.setMask(mask_.get(), s.windowWidth, s.windowHeight);
  if (firstGrid_ != nullptr) firstGrid_->setMask(mask_.get(), s.windowWidth, s.windowHeight);
  return true;
}

const unsigned char* PairAnalysis::MaskBytes() const { return mask_ != nullptr ? mask_->Bytes() : nullptr; }

bool PairAnalysis::SetBackground(BackgroundImage background) {
  return preprocessing_.SetBackground(std::move(background), images_.Width(), images_.Height());
}

// The windows are judged where the grid's points have them, with the grid's window size (as
// the mask judges them), for the grid of larger first-pass windows too. Each point is judged
// on its own, so the rows of points may go to any thread.
Status PairAnalysis::Preprocess() {
  PIVImage& processed = *processed_;
  if (processed.I1 == nullptr || processed.I2 == nullptr) {
    return Status::Failure("not enough memory for the pre-processed images");
  }
  preprocessing_.Apply(images_, processed, MaskBytes());
  const int nx = grid_.NX(), ny = grid_.NY(), width = processed.Width(), height = processed.Height();
  const int w = settings_.windowWidth, h = settings_.windowHeight;
  noParticles_.assign(static_cast<size_t>(nx) * static_cast<size_t>(ny), 0);
  const int workers = std::max(1, std::min(grid_.Threads(), ny));
  RunOnWorkers(workers, [&](int t) {
    for (int i = t; i < ny; i += workers) {
      for (int j = 0; j < nx; ++j) {
        const int k = i * nx + j;
        PIVPoint& p = grid_.Point(k);
        const WindowPlace place{WindowStart(static_cast<int>(p.X()), w), WindowStart(static_cast<int>(p.Y()), h), w, h};
        if (p.Masked() || place.left < 0 || place.top < 0 || place.left + w > width || place.top + h > height)
          continue;
        noParticles_[static_cast<size_t>(k)] =
            HoldsParticleImages(processed.I1, processed.I2, width, place, MaskBytes()) ? 0 : 1;
      }
    }
  });
  const int none = grid_.setWithoutParticleImages(noParticles_.data());
  if (firstGrid_ != nullptr) firstGrid_->setWithoutParticleImages(noParticles_.data());
  console_.Printf("\tNo particle images in %d of %d windows: not measured\n", none, nx * ny);
  return Status();
}

void PairAnalysis::SetCancelFlag(const std::atomic<bool>* cancel) {
  cancel_ = cancel;
  grid_.setCancelFlag(cancel);
  if (firstGrid_ != nullptr) firstGrid_->setCancelFlag(cancel);
  if (deformation_ != nullptr) deformation_->SetCancelFlag(cancel);
}

bool PairAnalysis::Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }

// The grid's own first pass decides which points hold a measurement; with larger
// first-pass windows their field starts the passes instead.
Status PairAnalysis::Deform() {
  PIVGrid* start = &grid_;
  if (firstGrid_ != nullptr) {
    firstGrid_->CalculateGridTARVEX();
    start = firstGrid_.get();
  }
  return deformation_->Run(settings_, Analysed(), plans_, *start, grid_, mask_.get(), console_);
}

bool PairAnalysis::Uncertainties(std::vector<float>& sigmaU, std::vector<float>& sigmaV) const {
  if (deformation_ == nullptr || deformation_->SigmaU() == nullptr) return false;
  const int n = grid_.NX() * grid_.NY();
  sigmaU.assign(deformation_->SigmaU(), deformation_->SigmaU() + n);
  sigmaV.assign(deformation_->SigmaV(), deformation_->SigmaV() + n);
  for (int k = 0; k < n; ++k)
    if (!grid_.Point(k).on()) sigmaU[k] = sigmaV[k] = std::numeric_limits<float>::quiet_NaN();
  return true;
}

// Each check re-judges every point, so a point rejected by an earlier check can be accepted
// by a later one.
void PairAnalysis::Validate() {
  const AnalysisSettings& s = settings_;
  if (!(s.checkMinRho || s.checkMaxVelocity || s.checkGlobalHistogram || s.checkMedian ||
        s.checkDynamicMean))
    return;
  console_.Print("\nValidating TARVEX, please wait .....\n");
  console_.Flush();
  if (s.checkMinRho) {
    console_.Print("\tChecking Max CC > ");
    PrintValue(console_, s.minRho);
    console_.Print(", ....");
    grid_.CCPeakValueCheck();
  }
  if (s.checkMaxVelocity) {
    console_.Print("\tChecking |Vel(i,j)|/DFT-size < ");
    PrintValue(console_, s.maxVelocityRatio);
    console_.Print(", ....");
    grid_.MaxVelCheck();
  }
  if (s.checkGlobalHistogram) {
    console_.Printf("\tChecking |U(i,j) - AvgU| < %2.2f*SigU && |V(i,j) - AvgV| < %2.2f*SigV, ....",
                    static_cast<double>(s.histogramDeviations),
                    static_cast<double>(s.histogramDeviations));
    grid_.GlobalHistogramCheck();
  }
  if (s.checkMedian) {
    console_.Printf("\tChecking |U(i,j) - MedianU(i,j)| < %2.2f, ....",
                    static_cast<double>(s.medianThreshold));
    grid_.MedianValueOperatorCheck();
  }
  if (s.checkDynamicMean) {
    console_.Print("\tChecking |AvgVel(i,j) - Vel(i,j)| < ");
    PrintValue(console_, s.dynamicMeanC1);
    console_.Print(" + ");
    PrintValue(console_, s.dynamicMeanC2);
    console_.Print(" * SigSquareVel(i,j)^2, ...");
    grid_.DynamicMeanValueOperatorCheck();
  }
}

Status PairAnalysis::Analyse(bool series) {
  static const char* const kCancelled = "the analysis was cancelled";
  const AnalysisSettings& s = settings_;
  if (processed_ != nullptr) {
    Status preprocessed = Preprocess();
    if (!preprocessed) return preprocessed;
  }
  if (s.twoPass) {
    grid_.setDynamicMeanValueConstants(s.dynamicMeanC1, s.dynamicMeanC2);
    grid_.CalculateIterativeGridTARVEX();
  } else {
    grid_.CalculateGridTARVEX();
  }
  if (Cancelled()) return Status::Failure(kCancelled);
  if (deformation_ != nullptr) {
    Status deformed = Deform();
    if (!deformed) return deformed;
  }
  if (Cancelled()) return Status::Failure(kCancelled);
  Validate();
  if (s.smooth) {
    console_.Print(series ? "Calculating moving 9x9 average, please wait ... \n\n"
                          : "\tCalculating Moving 9x9 average, please wait ... \n");
    console_.Flush();
    grid_.MovingAverageVelocity();
  }
  return Status();
}

}  // namespace tarvex
