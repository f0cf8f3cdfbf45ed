#include "deform/DeformationPasses.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "AnalysisSettings.h"
#include "deform/PredictorSmoothing.h"
#include "deform/VectorReplacement.h"
#include "support/WorkerThreads.h"
#include "uncertainty/PassChangeUncertainty.h"

namespace tarvex {

namespace {

// Share t of `count` items split into `workers` contiguous ranges.
int ShareBegin(int count, int workers, int t) {
  return static_cast<int>(static_cast<long long>(count) * t / workers);
}

// The Gaussian weight exp(-r^2 / (2 (sigma n)^2)) about the window centre, r measured per
// axis in pixels from (n - 1) / 2.
void MakeWeight(int nx, int ny, double sigma, float* weight) {
  const double sx = sigma * nx, sy = sigma * ny;
  for (int r = 0; r < ny; ++r) {
    const double y = r - 0.5 * (ny - 1);
    for (int c = 0; c < nx; ++c) {
      const double x = c - 0.5 * (nx - 1);
      weight[r * nx + c] = static_cast<float>(std::exp(-0.5 * (x * x / (sx * sx) + y * y / (sy * sy))));
    }
  }
}

// The image with its masked pixels at the mean of its flow pixels (rounded; 0 without any),
// in `out`: the spline of a bright wall would reach into the flow pixels beside it.
void BlankMasked(const unsigned short* image, const FlowMask& mask, unsigned short* out) {
  const size_t n = static_cast<size_t>(mask.Width()) * static_cast<size_t>(mask.Height());
  const unsigned char* flow = mask.Bytes();
  uint64_t sum = 0, count = 0;
  for (size_t k = 0; k < n; ++k) {
    if (!flow[k]) continue;
    sum += image[k];
    ++count;
  }
  const unsigned short fill = static_cast<unsigned short>(count > 0 ? (sum + count / 2) / count : 0);
  for (size_t k = 0; k < n; ++k) out[k] = flow[k] ? image[k] : fill;
}

// Whether the caller asked for the vectors' uncertainties and gave room for them.
bool EstimatesUncertainty(const DeformationSettings& s, const GridField& field) {
  return s.uncertainty != UncertaintyMethod::None && field.sigmaU != nullptr && field.sigmaV != nullptr;
}

}  // namespace

DeformationPasses::DeformationPasses(int threads) : threads_(std::max(threads, 1)) {
  for (int t = 0; t < threads_; ++t) {
    workspaces_.push_back(std::make_unique<CorrelationWorkspace>());
    rows_.push_back(std::make_unique<DeformationRows>());
  }
}

void DeformationPasses::SetCancelFlag(const std::atomic<bool>* cancel) {
  cancel_ = cancel;
  for (auto& ws : workspaces_) ws->SetCancelFlag(cancel);
}

bool DeformationPasses::Reserve(int width, int height, const WindowGrid& grid,
                                const DeformationSettings& s, bool masked) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t points = static_cast<size_t>(grid.Points());
  const size_t window = static_cast<size_t>(grid.windowX) * static_cast<size_t>(grid.windowY);
  if (!coefficients1_.Reserve(pixels) || !coefficients2_.Reserve(pixels) ||
      !deformed1_.Reserve(pixels) || !deformed2_.Reserve(pixels) || !predictedU_.Reserve(points) ||
      !predictedV_.Reserve(points) || !changeU_.Reserve(points) || !changeV_.Reserve(points) ||
      !smoothing_.Reserve(points) || !measured_.Reserve(points) || !state_.Reserve(points) ||
      (s.weightSigma > 0 && !weight_.Reserve(window)) ||
      (masked && (!blanked1_.Reserve(pixels) || !blanked2_.Reserve(pixels))))
    return false;
  for (auto& r : rows_)
    if (!r->Prepare(width, grid.nx)) return false;
  return true;
}

void DeformationPasses::PrefilterImages(const unsigned short* first, const unsigned short* second,
                                        int width, int height, BSplineDegree degree) {
  float* c1 = coefficients1_.data;
  float* c2 = coefficients2_.data;
  const int workers = std::min(threads_, height);
  RunOnWorkers(workers, [&](int t) {
    const int b = ShareBegin(height, workers, t), e = ShareBegin(height, workers, t + 1);
    PrefilterImageRows(first, width, b, e, degree, c1);
    PrefilterImageRows(second, width, b, e, degree, c2);
  });
  const int columnWorkers = std::min(threads_, width);
  RunOnWorkers(columnWorkers, [&](int t) {
    const int b = ShareBegin(width, columnWorkers, t), e = ShareBegin(width, columnWorkers, t + 1);
    PrefilterColumns(c1, width, height, b, e, degree);
    PrefilterColumns(c2, width, height, b, e, degree);
  });
}

void DeformationPasses::Deform(int width, int height, BSplineDegree degree) {
  const BSplineCoefficients first{coefficients1_.data, width, height, degree};
  const BSplineCoefficients second{coefficients2_.data, width, height, degree};
  const int workers = std::min(threads_, height);
  RunOnWorkers(workers, [&](int t) {
    DeformRows(first, second, predictor_, ShareBegin(height, workers, t),
               ShareBegin(height, workers, t + 1), *rows_[static_cast<size_t>(t)], deformed1_.data,
               deformed2_.data);
  });
}

bool DeformationPasses::Correlate(const WindowGrid& grid, int width, int height,
                                  const FFTWplan* plan, const float* weight,
                                  const RefinementCriteria& criteria, const GridMask& mask,
                                  const PassField& out) {
  const DeformedPair images{deformed1_.data, deformed2_.data, width, height};
  const int points = grid.Points();
  const int workers = std::min(threads_, points);
  // Rows of points are taken one at a time, so a thread slowed by other work on its
  // core holds up the end of the pass by little.
  std::atomic<int> nextRow{0};
  std::atomic<bool> ok{true};
  RunOnWorkers(workers, [&](int t) {
    CorrelationWorkspace& ws = *workspaces_[static_cast<size_t>(t)];
    for (int row = nextRow.fetch_add(1); row < grid.ny; row = nextRow.fetch_add(1)) {
      if (!RefinePoints(images, grid, predictedU_.data, predictedV_.data, plan, weight, criteria,
                        mask, ws, row * grid.nx, (row + 1) * grid.nx, out))
        ok = false;
    }
  });
  return ok;
}

int DeformationPasses::ValidateAndFill(const GridField& field, int nx, int ny,
                                       const DeformationSettings& s, bool changes,
                                       const unsigned char* maskedPoints, int* replaced) {
  const int points = nx * ny;
  int outside = 0;
  for (int k = 0; k < points; ++k) {
    if (!measured_.data[k]) continue;
    const bool within = (s.maxDisplacementX <= 0.0f || std::fabs(field.u[k]) <= s.maxDisplacementX) &&
                        (s.maxDisplacementY <= 0.0f || std::fabs(field.v[k]) <= s.maxDisplacementY);
    if (within) continue;
    measured_.data[k] = 0;
    ++outside;
  }
  const float* judgedU = field.u;
  const float* judgedV = field.v;
  if (changes) {
    for (int k = 0; k < points; ++k) {
      changeU_.data[k] = field.u[k] - predictedU_.data[k];
      changeV_.data[k] = field.v[k] - predictedV_.data[k];
    }
    judgedU = changeU_.data;
    judgedV = changeV_.data;
  }
  const int rejected = NormalisedMedianTest(judgedU, judgedV, measured_.data, nx, ny, s.median, field.flag);
  *replaced = ReplaceInvalidVectors(field.u, field.v, field.flag, nx, ny, state_.data, maskedPoints);
  return outside + rejected;
}

Status DeformationPasses::Run(const ImagePairView& images, const WindowGrid& grid, const FFTWplan* plan,
                              const DeformationSettings& settings, const GridField& field,
                              PassReport* reports, const GridMask& mask) {
  if (settings.passes < 1 || settings.passes > kMaxDeformPasses) {
    return Status::Failure("the number of refinement passes must be from 1 to 20");
  }
  const int width = images.width, height = images.height;
  if (images.Empty() || grid.Points() == 0 || grid.windowX < 2 || grid.windowY < 2 || grid.dx < 1 ||
      grid.dy < 1) {
    return Status::Failure("the images or the grid are empty");
  }
  const int points = grid.Points();
  if (std::none_of(field.flag, field.flag + points, [](unsigned char f) { return f != 0; })) {
    return Status::Failure("the first pass holds no valid vector to predict from");
  }
  if (!Reserve(width, height, grid, settings, mask.pixels != nullptr)) {
    return Status::Failure("not enough memory for the deformation passes");
  }
  const float* weight = nullptr;
  if (settings.weightSigma > 0) {
    MakeWeight(grid.windowX, grid.windowY, settings.weightSigma, weight_.data);
    weight = weight_.data;
  }
  const unsigned short* first = images.first;
  const unsigned short* second = images.second;
  if (mask.pixels != nullptr) {
    BlankMasked(first, *mask.pixels, blanked1_.data);
    BlankMasked(second, *mask.pixels, blanked2_.data);
    first = blanked1_.data;
    second = blanked2_.data;
  }
  PrefilterImages(first, second, width, height, settings.degree);
  const VectorGrid centres = grid.Centres();
  // Before the first pass, the vectors the single pass found valid count as measured.
  std::memcpy(measured_.data, field.flag, static_cast<size_t>(points));

  for (int pass = 0; pass < settings.passes; ++pass) {
    if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
      return Status::Failure("the analysis was cancelled");
    }
    PassReport& report = reports[pass];
    // The first field has no predictor to compare with: it is judged as it is.
    report.rejected = ValidateAndFill(field, grid.nx, grid.ny, settings, settings.judgeChanges && pass > 0,
                                      mask.points, &report.replaced);
    SmoothPredictorField(field.u, grid.nx, grid.ny, smoothing_.data, settings.filter);
    SmoothPredictorField(field.v, grid.nx, grid.ny, smoothing_.data, settings.filter);
    if (!predictor_.Set(centres, field.u, field.v, settings.predictor, width)) {
      return Status::Failure("not enough memory for the predictor");
    }
    Deform(width, height, settings.degree);
    std::memcpy(predictedU_.data, field.u, static_cast<size_t>(points) * sizeof(float));
    std::memcpy(predictedV_.data, field.v, static_cast<size_t>(points) * sizeof(float));
    const bool last = pass + 1 == settings.passes;
    const float* passWeight = last && !settings.weightLastPass ? nullptr : weight;
    // Only the last pass's windows tell the uncertainty of the final vectors.
    const bool estimate = last && EstimatesUncertainty(settings, field);
    PassField out{field.u, field.v, field.peak, measured_.data};
    if (estimate) out = {field.u, field.v, field.peak, measured_.data, field.sigmaU, field.sigmaV, settings.uncertainty};
    if (!Correlate(grid, width, height, plan, passWeight, settings.criteria, mask, out)) {
      return Status::Failure("not enough memory for the correlations");
    }
    double sum = 0.0;
    report.measured = 0;
    for (int k = 0; k < points; ++k) {
      if (!measured_.data[k]) continue;
      const double du = field.u[k] - predictedU_.data[k], dv = field.v[k] - predictedV_.data[k];
      sum += du * du + dv * dv;
      ++report.measured;
    }
    report.rmsChange = report.measured > 0 ? std::sqrt(sum / report.measured) : 0.0;
    if (estimate)
      AddLastPassChange(field.u, field.v, predictedU_.data, predictedV_.data, measured_.data, grid.nx, grid.ny,
                        field.sigmaU, field.sigmaV);
  }
  // The final flags judge the field itself; rejected and unmeasured points keep values
  // filled from their neighbours.
  int replaced = 0;
  ValidateAndFill(field, grid.nx, grid.ny, settings, false, mask.points, &replaced);
  if (EstimatesUncertainty(settings, field))
    for (int k = 0; k < points; ++k)
      if (!field.flag[k]) field.sigmaU[k] = field.sigmaV[k] = std::numeric_limits<float>::quiet_NaN();
  return Status();
}

}  // namespace tarvex
