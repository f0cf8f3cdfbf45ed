#include "PairAnalysisCall.h"

#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BackgroundCall.h"
#include "PairAnalysis.h"
#include "correlation/DefineFFTWPlans.h"
#include "images/PIVImage.h"
#include "preprocess/BoxHighPass.h"
#include "support/Console.h"

namespace tarvex {

namespace {

// Made once, by the first analysis of the process, and shared read-only by all of them (the
// initialisation of a static is thread-safe). Estimated plans, as tarvex makes them without
// -o, and no wisdom file: a Python process leaves nothing in the user's directory.
FFTWplan* SharedPlans() {
  static std::string progress;  // the table's one progress line, not shown
  static Console quiet(&progress);
  static const FFTPlanTable table(0, true, nullptr, quiet);
  return table.Entries();
}

std::string Size(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

void CheckSettings(const AnalysisSettings& s) {
  if (s.windowWidth <= 0 || s.windowHeight <= 0)
    throw std::invalid_argument("the DFT size must be positive (got " + Size(s.windowWidth, s.windowHeight) + ")");
  if (s.spacingX <= 0 || s.spacingY <= 0)
    throw std::invalid_argument("the grid spacing must be positive in both directions (got " +
                                Size(s.spacingX, s.spacingY) + ")");
  if (s.deformPasses < 0 || s.deformPasses > kMaxDeformPasses)
    throw std::invalid_argument("deform must be a whole number of refinement passes from 1 to " +
                                std::to_string(kMaxDeformPasses) + ", or 0 for none (got " +
                                std::to_string(s.deformPasses) + ")");
  if (s.deformPasses == 0 && s.firstWindow != 0)
    throw std::invalid_argument("first_window only applies together with deform");
  if (s.deformPasses == 0 && s.deformReference != DeformReference::Midpoint)
    throw std::invalid_argument("deform_reference only applies together with deform");
  if (s.deformPasses == 0 && s.uncertainty != UncertaintyMethod::None)
    throw std::invalid_argument("uncertainty only applies together with deform");
  if (s.deformPasses > 0 && s.twoPass)
    throw std::invalid_argument("deform cannot be combined with two_pass");
  if (s.deformPasses > 0 && (s.subpix != SubPixelEstimator::Gauss3 || !s.meanSubtraction))
    throw std::invalid_argument("deform measures with the three-point estimator and mean subtraction; "
                                "it cannot be combined with subpix=\"fit\"");
  if (s.deformPasses > 0 && s.firstWindow != 0 && !UsableFirstWindow(s.firstWindow, s.windowWidth, s.windowHeight))
    throw std::invalid_argument("first_window must be a square window size of the plan table larger than the window " +
                                Size(s.windowWidth, s.windowHeight) + " (got " + std::to_string(s.firstWindow) + ")");
  if (s.meanSubtraction && s.subpix != SubPixelEstimator::Gauss3)
    throw std::invalid_argument("meansub is only available together with subpix=\"gauss3\"");
  if (s.highPassSize != 0 && !UsableHighPassSize(s.highPassSize))
    throw std::invalid_argument("highpass must be an odd whole number of pixels from " +
                                std::to_string(kMinHighPassSize) + " to " + std::to_string(kMaxHighPassSize) +
                                " (got " + std::to_string(s.highPassSize) + ")");
  if (s.threads < 0 || s.threads > kMaxAnalysisThreads)
    throw std::invalid_argument("threads must be a whole number from 0 to " + std::to_string(kMaxAnalysisThreads) +
                                " (got " + std::to_string(s.threads) + ")");
}

// The background asked for, for frames of width x height pixels.
BackgroundImage MakeBackground(const BackgroundRequest& request, const Image16& first, const Image16& second,
                               const MaskImage* mask) {
  const int width = first.width, height = first.height;
  const auto checkSize = [width, height](const Image16& image, const std::string& what) {
    if (image.width != width || image.height != height)
      throw std::invalid_argument(what + " is " + Size(image.width, image.height) + " px, the frames " +
                                  Size(width, height) + " px");
  };
  if (request.kind == BackgroundRequest::Kind::Given) {
    checkSize(request.given, "the background");
    BackgroundImage b;
    b.width = width;
    b.height = height;
    b.source = BackgroundSource::File;
    b.images = 1;
    b.sums.assign(request.given.pixels.begin(), request.given.pixels.end());
    return b;
  }
  std::vector<const Image16*> images;
  if (request.images.empty()) images = {&first, &second};
  for (const Image16& image : request.images) {
    checkSize(image, "an image of background_images");
    images.push_back(&image);
  }
  return BackgroundOfImages(request.kind == BackgroundRequest::Kind::Mean ? BackgroundStatistic::Mean
                                                                          : BackgroundStatistic::Minimum,
                            images, mask);
}

}  // namespace

FieldResult AnalyseImages(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                          const MaskImage* mask, const BackgroundRequest& background,
                          const std::atomic<bool>* cancel) {
  CheckSettings(settings);
  if (first.width != second.width || first.height != second.height)
    throw std::invalid_argument("frame_a is " + Size(first.width, first.height) + " px but frame_b is " +
                                Size(second.width, second.height) + " px; both frames must have one size");
  const int nx = GridCount(first.width, settings.windowWidth, settings.spacingX);
  const int ny = GridCount(first.height, settings.windowHeight, settings.spacingY);
  if (nx == 0 || ny == 0)
    throw std::invalid_argument("an image of " + Size(first.width, first.height) + " px is too small for one " +
                                Size(settings.windowWidth, settings.windowHeight) + " window");

  FFTWplan* plans = SharedPlans();
  if (plans == nullptr) throw std::bad_alloc();
  PIVImage images(first.width, first.height);
  images.LoadPair(first.pixels.data(), second.pixels.data());
  if (!images.HoldsImages()) throw std::bad_alloc();

  std::string log;
  Console console(&log);
  PairAnalysis analysis(settings, plans, images, console);
  analysis.SetCancelFlag(cancel);
  if (mask != nullptr && !analysis.SetMask(*mask))
    throw std::invalid_argument("the mask is " + Size(mask->Width(), mask->Height()) + " px, the frames " +
                                Size(first.width, first.height) + " px");
  if (background.kind != BackgroundRequest::Kind::None)
    analysis.SetBackground(MakeBackground(background, first, second, mask));
  const Status analysed = analysis.Analyse(false);
  if (!analysed) throw std::runtime_error(analysed.message());
  FieldResult field(analysis.Records(true), nx, ny, settings.windowWidth, settings.windowHeight, settings.smooth, log);
  std::vector<float> sigmaU, sigmaV;
  if (analysis.Uncertainties(sigmaU, sigmaV)) field.SetUncertainties(std::move(sigmaU), std::move(sigmaV));
  return field;
}

}  // namespace tarvex
