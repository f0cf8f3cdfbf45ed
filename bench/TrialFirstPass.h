// The first pass a deformation trial starts from: the pair read from its file, the grid of
// window x window windows every `spacing` px from the image's corner, the single pass over it
// (three-point estimator, window means subtracted, as tarvex -deform runs it) and its field.
#ifndef TRIALFIRSTPASS_H
#define TRIALFIRSTPASS_H

#include <memory>
#include <vector>

#include "deform/RefinementPass.h"
#include "grid/piv.h"
#include "images/PIVImage.h"

namespace tarvex {

struct TrialFirstPass {
  std::unique_ptr<PIVImage> image;
  WindowGrid grid;
  std::vector<float> u, v, peak;
  std::vector<unsigned char> flag;
};

// False, after a message naming `program`, when the pair file cannot be read.
bool RunTrialFirstPass(const char* program, const char* pairFile, int window, int spacing, FFTWplan* plans,
                       TrialFirstPass& first);

}  // namespace tarvex

#endif
