#include "peaks/PeakRatio.h"

#include <cstdlib>

#include "peaks/FitPeak2SubPixel.h"

namespace tarvex {

namespace {

// Stands for a ratio with no competing peak: far above any threshold.
constexpr float kUncontested = 1e6f;

}  // namespace

namespace {

// The highest local maxima met so far, highest first, equals in the order met. Within the
// 3 x 3 cells around the highest only its four diagonal cells can be local maxima too, so
// six of them always hold the second peak if there is one.
class TopMaxima {
 public:
  // Values at or below this cannot enter.
  float Floor() const { return count_ == kKeep ? value_[kKeep - 1] : kNoPeakValue; }
  void Offer(float v, int i, int j) {
    int k = count_ < kKeep ? count_++ : kKeep - 1;
    for (; k > 0 && value_[k - 1] < v; --k) {
      value_[k] = value_[k - 1];
      i_[k] = i_[k - 1];
      j_[k] = j_[k - 1];
    }
    value_[k] = v;
    i_[k] = i;
    j_[k] = j;
  }
  int Count() const { return count_; }
  float Value(int k) const { return value_[k]; }
  int I(int k) const { return i_[k]; }
  int J(int k) const { return j_[k]; }

 private:
  static constexpr int kKeep = 6;
  float value_[kKeep] = {};
  int i_[kKeep] = {}, j_[kKeep] = {};
  int count_ = 0;
};

}  // namespace

float HighestTwoPeaks(const float* plane, int nx, int ny, float* x, float* y, float* second) {
  TopMaxima top;
  float floor = top.Floor();
  for (int j = 1; j <= ny - 2; ++j) {
    const float* row = plane + static_cast<long>(j) * nx;
    for (int i = 1; i <= nx - 2; ++i) {
      const float v = row[i];
      if (!(v > floor)) continue;
      if (v > row[i - 1] && v > row[i + 1] && v > row[i - nx] && v > row[i + nx]) {
        top.Offer(v, i, j);
        floor = top.Floor();
      }
    }
  }
  *second = kNoPeakValue;
  if (top.Count() == 0) {
    *x = *y = 0.0f;
    return kNoPeakValue;
  }
  *x = static_cast<float>(top.I(0));
  *y = static_cast<float>(top.J(0));
  for (int k = 1; k < top.Count(); ++k) {
    if (std::abs(top.I(k) - top.I(0)) <= 1 && std::abs(top.J(k) - top.J(0)) <= 1) continue;
    *second = top.Value(k);
    break;
  }
  return top.Value(0);
}

float PeakRatio(float best, float second) {
  return second > 0.0f ? best / second : kUncontested;
}

}  // namespace tarvex
