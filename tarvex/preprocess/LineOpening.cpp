#include "preprocess/LineOpening.h"

#include <algorithm>
#include <cstddef>

namespace tarvex {

namespace {

// The erosion of a segment that does not count.
constexpr uint32_t kNone = UINT32_MAX;

// The lines of an image seen one way: `lines` lines of `count` pixels, `step` apart within a
// line and `lineStep` from one line to the next.
struct Lines {
  int lines;
  int count;
  size_t step;
  size_t lineStep;
};

// Erodes, then dilates every line with segments reaching `reach` pixels either side.
void OpenLines(const uint32_t* image, const unsigned char* flow, const Lines& g, int reach, uint32_t* eroded,
               uint32_t* out) {
  for (int line = 0; line < g.lines; ++line) {
    const size_t base = static_cast<size_t>(line) * g.lineStep;
    for (int i = 0; i < g.count; ++i) {
      uint32_t least = kNone;
      if (i >= reach && i + reach < g.count) {
        for (int j = i - reach; j <= i + reach; ++j) {
          const size_t at = base + static_cast<size_t>(j) * g.step;
          if (flow != nullptr && flow[at] == 0) {
            least = kNone;
            break;
          }
          least = std::min(least, image[at]);
        }
      }
      eroded[base + static_cast<size_t>(i) * g.step] = least;
    }
    for (int i = 0; i < g.count; ++i) {
      uint32_t greatest = 0;
      const int last = std::min(g.count - 1, i + reach);
      for (int j = std::max(0, i - reach); j <= last; ++j) {
        const uint32_t e = eroded[base + static_cast<size_t>(j) * g.step];
        if (e != kNone) greatest = std::max(greatest, e);
      }
      out[base + static_cast<size_t>(i) * g.step] = greatest;
    }
  }
}

}  // namespace

void LineOpening::Open(const uint32_t* image, const unsigned char* flow, int width, int height, int length,
                       uint32_t* out) {
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (eroded_.size() < pixels) eroded_.resize(pixels);
  if (rows_.size() < pixels) rows_.resize(pixels);
  const int reach = length / 2;
  const size_t w = static_cast<size_t>(width);
  OpenLines(image, flow, {height, width, 1, w}, reach, eroded_.data(), rows_.data());
  OpenLines(image, flow, {width, height, w, 1}, reach, eroded_.data(), out);
  for (size_t i = 0; i < pixels; ++i) out[i] = std::max(out[i], rows_[i]);
}

}  // namespace tarvex
