#include "preprocess/PairPreprocessing.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tarvex {

bool PairPreprocessing::SetBackground(BackgroundImage background, int width, int height) {
  if (background.width != width || background.height != height || background.sums.size() != background.Pixels())
    return false;
  background_ = std::move(background);
  return true;
}

void PairPreprocessing::ApplyToImage(uint16_t* image, const unsigned char* flow, int width, int height) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (HasBackground()) SubtractBackground(background_, image, image);
  if (settings_.highPassSize > 0) {
    if (scratch_.size() < pixels) scratch_.resize(pixels);
    std::copy(image, image + pixels, scratch_.data());
    highPass_.Apply(scratch_.data(), flow, width, height, settings_.highPassSize, image);
  }
  if (settings_.capIntensity) capping_.Apply(image, flow, pixels);
}

void PairPreprocessing::Apply(const PIVImage& source, PIVImage& into, const unsigned char* flow) {
  into.LoadPair(source.I1, source.I2);
  ApplyToImage(into.I1, flow, into.Width(), into.Height());
  ApplyToImage(into.I2, flow, into.Width(), into.Height());
}

std::string PairPreprocessing::Summary() const {
  std::string parts;
  const auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : ", ") + part; };
  if (HasBackground()) {
    const BackgroundImage& b = background_;
    const std::string images = std::to_string(b.images) + (b.images == 1 ? " image" : " images");
    if (b.source == BackgroundSource::File)
      add("background from " + b.fileName);
    else if (b.source == BackgroundSource::Mean)
      add("background mean of " + images);
    else if (b.openedLength > 0)
      add("background minimum of " + images + " (opened " + std::to_string(b.openedLength) + " px)");
    else
      add("background minimum of " + images);
  }
  if (settings_.highPassSize > 0) add("high-pass " + std::to_string(settings_.highPassSize) + " px");
  if (settings_.capIntensity) {
    char cap[64];
    std::snprintf(cap, sizeof cap, "capping at median + %g sigma", kCapDeviations);
    add(cap);
  }
  return parts.empty() ? "" : "Pre-processing: " + parts + "\n";
}

}  // namespace tarvex
