#include "preprocess/SeriesBackground.h"

#include <algorithm>
#include <new>
#include <utility>

#include "ImagePairFile.h"

namespace tarvex {

bool SeriesBackground::Start(BackgroundStatistic statistic, int width, int height) {
  statistic_ = statistic;
  width_ = width;
  height_ = height;
  images_ = 0;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  try {
    minima_.assign(statistic == BackgroundStatistic::Minimum ? pixels : 0, UINT16_MAX);
    sums_.assign(statistic == BackgroundStatistic::Mean ? pixels : 0, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void SeriesBackground::Add(const uint16_t* image) {
  if (images_ >= kMaxBackgroundImages) return;
  if (statistic_ == BackgroundStatistic::Minimum) {
    uint16_t* minima = minima_.data();
    for (size_t i = 0; i < minima_.size(); ++i) minima[i] = std::min(minima[i], image[i]);
  } else {
    uint32_t* sums = sums_.data();
    for (size_t i = 0; i < sums_.size(); ++i) sums[i] += image[i];
  }
  images_++;
}

BackgroundImage SeriesBackground::Finish(const unsigned char* flow) {
  BackgroundImage b;
  b.width = width_;
  b.height = height_;
  b.images = images_;
  if (images_ == 0) {
    std::fill(minima_.begin(), minima_.end(), 0);
    std::fill(sums_.begin(), sums_.end(), 0u);
  }
  if (statistic_ == BackgroundStatistic::Mean) {
    b.source = BackgroundSource::Mean;
    b.divisor = images_ > 0 ? static_cast<uint32_t>(images_) : 1u;
    b.sums = std::move(sums_);
  } else {
    b.source = BackgroundSource::Minimum;
    b.sums.assign(minima_.begin(), minima_.end());
    minima_ = std::vector<uint16_t>();
    if (images_ < kFewImages) {
      b.openedLength = kOpeningLength;
      const std::vector<uint32_t> minimum = std::move(b.sums);
      b.sums.resize(minimum.size());
      opening_.Open(minimum.data(), flow, width_, height_, kOpeningLength, b.sums.data());
    }
  }
  sums_ = std::vector<uint32_t>();
  images_ = 0;
  return b;
}

Status EstimateSeriesBackground(const char* name, BackgroundStatistic statistic, const unsigned char* flow,
                                const std::function<void(int done, int total)>& progress,
                                BackgroundImage& background) {
  ImagePairFileReader file;
  if (file.Open(name) != ImagePairFileReader::Status::Ok || file.NumberImages() < 1) {
    return Status::Failure(std::string("cannot read images from ") + name);
  }
  const int total = std::min(file.NumberImages(), kMaxBackgroundImages);
  std::vector<uint16_t> image;
  SeriesBackground series;
  try {
    image.resize(static_cast<size_t>(file.PixelsPerImage()));
  } catch (const std::bad_alloc&) {
    image.clear();
  }
  if (image.empty() || !series.Start(statistic, file.Width(), file.Height())) {
    return Status::Failure("not enough memory for the background");
  }
  for (int id = 1; id <= total; ++id) {
    if (file.ReadImage(id, image.data()) != image.size()) {
      return Status::Failure("image " + std::to_string(id) + " of " + name +
                             " cannot be read whole for the background");
    }
    series.Add(image.data());
    progress(id, total);
  }
  background = series.Finish(flow);
  return Status();
}

}  // namespace tarvex
