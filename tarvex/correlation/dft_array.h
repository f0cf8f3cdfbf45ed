// Preset square DFT sizes selectable by index with PIVPoint::setPreSetDFT.
//
// Worked example: the 16 presets are 12, 16, 20, 24, 32, 40, 48, 64, 80, 100, 128, 188, 256,
// 300, 400, 512, each with an entry in the plan table; setPreSetDFT(4) makes a 32 x 32 point,
// and setPreSetDFT(16) is refused, leaving the point as it was.
#ifndef DFT_ARRAY_H
#define DFT_ARRAY_H

namespace tarvex {

constexpr int kNumberOfPresetDFTSizes = 16;
extern const int dft[kNumberOfPresetDFTSizes];

}  // namespace tarvex

#endif
