#include "ParticleRenderer.h"

#include <algorithm>
#include <cmath>

#include "SynthRandom.h"

double GaussianIntegral(double a, double b, double centre, double sigma) {
  const double scale = sigma * std::sqrt(2.0);
  const double halfWidth = sigma * std::sqrt(std::acos(-1.0) / 2.0);
  return halfWidth * (std::erf((b - centre) / scale) - std::erf((a - centre) / scale));
}

double ParticleTotalIntensity(double peak, double diameter) {
  return peak * std::acos(-1.0) * diameter * diameter / 8.0;
}

int ParticleReach(double diameter) { return static_cast<int>(std::ceil(2.0 * diameter)) + 1; }

IntensityImage::IntensityImage(int width, int height)
    : width_(width), height_(height), values_(static_cast<size_t>(width) * height, 0.0) {}

bool ParticleFootprint(const Particle& p, double diameter, int width, int height, PixelBox& box) {
  const int reach = ParticleReach(diameter);
  // Far-away (or non-finite) centres draw nothing; this also keeps the casts below in range.
  if (!(p.x > -reach - 1.0 && p.x < width + reach && p.y > -reach - 1.0 && p.y < height + reach)) return false;
  box.x0 = std::max(0, static_cast<int>(std::floor(p.x)) - reach);
  box.x1 = std::min(width - 1, static_cast<int>(std::floor(p.x)) + reach);
  box.y0 = std::max(0, static_cast<int>(std::floor(p.y)) - reach);
  box.y1 = std::min(height - 1, static_cast<int>(std::floor(p.y)) + reach);
  return box.x0 <= box.x1 && box.y0 <= box.y1;
}

void IntensityImage::AddParticle(const Particle& p, double diameter) {
  // exp(-8 r^2 / d^2) is a Gaussian with sigma = d / 4; it factors into x and y.
  const double sigma = diameter / 4.0;
  PixelBox box;
  if (!ParticleFootprint(p, diameter, width_, height_, box)) return;
  const int x0 = box.x0, x1 = box.x1, y0 = box.y0, y1 = box.y1;
  std::vector<double> columns(static_cast<size_t>(x1 - x0 + 1));
  for (int i = x0; i <= x1; ++i) columns[i - x0] = GaussianIntegral(i - 0.5, i + 0.5, p.x, sigma);
  for (int j = y0; j <= y1; ++j) {
    const double row = p.peak * GaussianIntegral(j - 0.5, j + 0.5, p.y, sigma);
    double* line = &values_[static_cast<size_t>(j) * width_];
    for (int i = x0; i <= x1; ++i) line[i] += row * columns[i - x0];
  }
}

void IntensityImage::AddNoise(double stddev, SynthRandom& random) {
  if (stddev <= 0.0) return;
  for (double& v : values_) v += stddev * random.Normal();
}

void IntensityImage::MultiplyBy(const std::vector<double>& factors) {
  for (size_t k = 0; k < values_.size() && k < factors.size(); ++k) values_[k] *= factors[k];
}

void IntensityImage::Add(const std::vector<double>& values) {
  for (size_t k = 0; k < values_.size() && k < values.size(); ++k) values_[k] += values[k];
}

std::vector<uint16_t> IntensityImage::Quantize() const {
  std::vector<uint16_t> counts(values_.size());
  for (size_t k = 0; k < values_.size(); ++k) {
    const double v = std::floor(values_[k] + 0.5);
    counts[k] = static_cast<uint16_t>(std::min<double>(kMaxCount, std::max(0.0, v)));
  }
  return counts;
}
