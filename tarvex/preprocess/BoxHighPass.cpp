#include "preprocess/BoxHighPass.h"

#include <cstddef>

namespace tarvex {

bool UsableHighPassSize(int size) {
  return size >= kMinHighPassSize && size <= kMaxHighPassSize && size % 2 == 1;
}

namespace {

bool Flow(const unsigned char* flow, size_t at) { return flow == nullptr || flow[at] != 0; }

// Adds (sign 1) or takes away (sign -1) row y to the column sums.
void AccumulateRow(const uint16_t* image, const unsigned char* flow, int width, int y, int sign, uint64_t* sums,
                   uint32_t* counts) {
  const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
  for (int x = 0; x < width; ++x) {
    if (!Flow(flow, row + x)) continue;
    if (sign > 0) {
      sums[x] += image[row + x];
      counts[x]++;
    } else {
      sums[x] -= image[row + x];
      counts[x]--;
    }
  }
}

}  // namespace

void BoxHighPass::Apply(const uint16_t* image, const unsigned char* flow, int width, int height, int size,
                        uint16_t* out) {
  const size_t w = static_cast<size_t>(width);
  if (columnSums_.size() < w) columnSums_.resize(w);
  if (columnCounts_.size() < w) columnCounts_.resize(w);
  uint64_t* sums = columnSums_.data();
  uint32_t* counts = columnCounts_.data();
  for (size_t x = 0; x < w; ++x) sums[x] = counts[x] = 0;
  const int reach = size / 2;
  for (int y = 0; y < reach && y < height; ++y) AccumulateRow(image, flow, width, y, 1, sums, counts);
  for (int y = 0; y < height; ++y) {
    // The column sums hold rows y - reach .. y + reach of the image.
    if (y + reach < height) AccumulateRow(image, flow, width, y + reach, 1, sums, counts);
    if (y - reach - 1 >= 0) AccumulateRow(image, flow, width, y - reach - 1, -1, sums, counts);
    uint64_t sum = 0;
    int64_t count = 0;
    for (int x = 0; x < reach && x < width; ++x) {
      sum += sums[x];
      count += counts[x];
    }
    const size_t row = static_cast<size_t>(y) * w;
    for (int x = 0; x < width; ++x) {
      if (x + reach < width) {
        sum += sums[x + reach];
        count += counts[x + reach];
      }
      if (x - reach - 1 >= 0) {
        sum -= sums[x - reach - 1];
        count -= counts[x - reach - 1];
      }
      if (!Flow(flow, row + x)) {
        out[row + x] = 0;
        continue;
      }
      // pixel - sum / count rounded half up: floor((2 (count pixel - sum) + count) / (2 count)).
      const int64_t twice = 2 * (count * image[row + x] - static_cast<int64_t>(sum)) + count;
      out[row + x] = twice < 0 ? 0 : static_cast<uint16_t>(twice / (2 * count));
    }
  }
}

}  // namespace tarvex
