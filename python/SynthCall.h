// pivsynth without files: its settings checked by the same parser, its images rendered into
// memory, and the truth record that its truth file would hold.
//
// Worked example: {{"--size", "64x48"}, {"--dx", "2.5"}} gives 2 images of 64 x 48 px, the
// second the first moved 2.5 px along x, with truth field uniform, dx = 2.5, dy = 0: the bytes
// `pivsynth --size 64x48 --dx 2.5` writes.
#ifndef PYTHON_SYNTHCALL_H
#define PYTHON_SYNTHCALL_H

#include <string>
#include <utility>
#include <vector>

#include "PairFileCalls.h"
#include "TruthFile.h"

namespace tarvex {

// Settings as pivsynth's options: the name with its dashes, then the value as text.
using SynthSettings = std::vector<std::pair<std::string, std::string>>;

struct SynthImages {
  TruthRecord truth;
  long long particlesPerPair = 0;
  ImageStack images;  // 2 * truth.pairs images; pair k is images 2k - 1 and 2k
};

// Throws std::invalid_argument with pivsynth's message for a setting it refuses.
SynthImages SynthesizeImages(const SynthSettings& settings);

}  // namespace tarvex

#endif
