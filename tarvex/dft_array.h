// Preset square DFT sizes selectable by index with PIVPoint::setPreSetDFT.
#ifndef DFT_ARRAY_H
#define DFT_ARRAY_H

constexpr int kNumberOfPresetDFTSizes = 16;
extern const int dft[kNumberOfPresetDFTSizes];

#endif
