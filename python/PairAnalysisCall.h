// One analysis of an image pair held in memory, as tarvex would run it on the same images
// with the same options: its own image store and PairAnalysis, the FFT plan table shared by
// every call of the process, and the console text collected instead of printed. Runs
// without the Python interpreter, so callers may let other Python threads run meanwhile.
//
// Worked example: two 256 x 256 frames with 32 x 32 windows every 16 px give a field of
// 15 x 15 points, the same numbers that `tarvex -dft 32 -gspac 16 16` writes for them.
#ifndef PYTHON_PAIRANALYSISCALL_H
#define PYTHON_PAIRANALYSISCALL_H

#include <atomic>
#include <vector>

#include "AnalysisSettings.h"
#include "FieldResult.h"
#include "ImageArrays.h"
#include "MaskImage.h"

namespace tarvex {

// Most threads one analysis may use, as for tarvex -j.
constexpr int kMaxAnalysisThreads = 1024;

// The background subtracted from both frames (tarvex -bg): none; the minimum or mean over
// `images` (as tarvex makes it over the images of its image-pair file), the two frames when
// `images` is empty; or `given`, subtracted as it is (tarvex -bg FILE).
struct BackgroundRequest {
  enum class Kind { None, Minimum, Mean, Given };
  Kind kind = Kind::None;
  std::vector<Image16> images;
  Image16 given;
};

// `mask` (null: none) leaves out what is not flow, as tarvex -mask does; it has the frames'
// size. `background` is subtracted from both frames before any pass (settings.highPassSize
// and settings.capIntensity follow it). `cancel` (null: none), once set by another thread,
// stops the analysis within a point (std::runtime_error "the analysis was cancelled").
// Throws std::invalid_argument when the settings cannot be used (the command line refuses
// the same ones), the frames differ in size or are too small for one window, or a background
// or its images have another size; std::bad_alloc when the memory cannot be had.
FieldResult AnalyseImages(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                          const MaskImage* mask, const BackgroundRequest& background,
                          const std::atomic<bool>* cancel = nullptr);

}  // namespace tarvex

#endif
