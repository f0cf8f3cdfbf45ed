#include "correlation/dft_array.h"

namespace tarvex {

const int dft[kNumberOfPresetDFTSizes] = {12, 16, 20, 24, 32, 40, 48, 64,
                                          80, 100, 128, 188, 256, 300, 400, 512};

}  // namespace tarvex
