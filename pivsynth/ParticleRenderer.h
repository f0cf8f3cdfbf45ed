// Renders Gaussian particle images integrated over the pixel areas, so that sub-pixel
// positions come out exactly. Pixel (i, j) covers [i - 0.5, i + 0.5] x [j - 0.5, j + 0.5];
// a particle of peak intensity I0 and e^-2 diameter d has the intensity profile
// I0 * exp(-8 r^2 / d^2), and a pixel receives the integral of it over its area.
#ifndef PIVSYNTH_PARTICLERENDERER_H
#define PIVSYNTH_PARTICLERENDERER_H

#include <cstddef>
#include <cstdint>
#include <vector>

class SynthRandom;

struct Particle {
  double x = 0.0, y = 0.0;  // centre: column and row
  double peak = 0.0;        // peak intensity in counts
  // Which images of its pair show it: a particle that leaves the light sheet between the
  // exposures (or enters it) is seen in one only.
  bool inFirst = true, inSecond = true;
};

// The brightest value a pixel may hold: the images use a 12-bit scale.
const int kMaxCount = 4095;

// Integral of exp(-(t - centre)^2 / (2 sigma^2)) over [a, b].
double GaussianIntegral(double a, double b, double centre, double sigma);

// Integral of a particle's intensity over the whole plane: peak * pi * d^2 / 8.
double ParticleTotalIntensity(double peak, double diameter);

// How many pixels from its centre a particle is drawn; the profile beyond is below
// 1e-13 of the peak.
int ParticleReach(double diameter);

// The pixels a particle is drawn into: columns x0 to x1 and rows y0 to y1.
struct PixelBox {
  int x0, y0, x1, y1;
};

// The pixels of a width x height image that a particle of the diameter lights: its reach on
// every side of the pixel holding its centre, clipped to the image. False when it lights
// none (also for a far-away or non-finite centre). Example: diameter 2.5 (reach 6) at
// (10.7, 3.2) in a 64 x 64 image lights columns 4 to 16 and rows 0 to 9.
bool ParticleFootprint(const Particle& particle, double diameter, int width, int height, PixelBox& box);

// An image of real-valued intensities, owned as one buffer, row after row.
class IntensityImage {
 public:
  IntensityImage(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  double At(int x, int y) const { return values_[static_cast<size_t>(y) * width_ + x]; }
  void AddParticle(const Particle& particle, double diameter);
  void AddNoise(double stddev, SynthRandom& random);
  // Pixel by pixel: multiplied by factors, or values added (width * height each, row after row).
  void MultiplyBy(const std::vector<double>& factors);
  void Add(const std::vector<double>& values);
  // Rounded to whole counts and clamped to 0..kMaxCount.
  std::vector<uint16_t> Quantize() const;

 private:
  int width_, height_;
  std::vector<double> values_;
};

#endif
