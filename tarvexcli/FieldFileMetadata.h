// What tarvex -nc writes into each field file about how the field was measured: the options
// that change the results (the series record's lines, one after another), the window, the
// command line, and which particle a vector belongs to.
//
// Worked example: tarvex -nc -dft 32 -gspac 16 16 -deform 3 run.b16 writes window 32 x 32 px
// and the reference "midpoint" (the central-difference field of the deformation); with
// -deformref first, or with the two-pass analysis -i (whose second window is moved by the
// first result), "first image"; a single pass, whose windows lie at the same place in both
// images, measures the displacement about mid-time too: "midpoint".
#ifndef FIELDFILEMETADATA_H
#define FIELDFILEMETADATA_H

#include "FieldFrame.h"
#include "Settings.h"

namespace tarvex {

FieldMetadata RunFieldMetadata(const TarvexSettings& s);

}  // namespace tarvex

#endif
