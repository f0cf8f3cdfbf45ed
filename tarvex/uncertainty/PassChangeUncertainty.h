// The part of a refined vector's error that its last correlation cannot see: the windows
// of the last pass are deformed by a predictor made from the pass before, and where the
// passes have not settled (a flow that varies within a window, a wave the predictor
// filter damps) the vector still holds a systematic error that the deformed windows match
// too well to show. Each pass shrinks such an error by a factor of about one half, so what
// is left after the last pass is about what the last pass changed. That change also holds
// the pass's random error, which the correlation statistics count already; the median of
// the changes over the 3 x 3 points about a point keeps the systematic part, shared by
// neighbours, and drops most of the random part and any single outlier.
//
// sigma^2 += median(change over the measured points of the 3 x 3 neighbourhood)^2, per
// component, at every measured point (the median of an even count is the mean of the
// middle two).
//
// Worked example: a 3 x 3 grid whose last pass changed u by 0.01, 0.02, 0.03 / 0.02, 0.50,
// 0.02 / 0.01, 0.02, 0.03 px (v by 0): the centre's median is 0.02 (the 0.50 of a corrected
// outlier does not count), and its sigma_u of 0.015 px becomes sqrt(0.015^2 + 0.02^2) =
// 0.025 px. The corner point (0, 0) has 4 neighbours with changes 0.01, 0.02, 0.02, 0.50:
// median (0.02 + 0.02) / 2 = 0.02 as well.
#ifndef PASSCHANGEUNCERTAINTY_H
#define PASSCHANGEUNCERTAINTY_H

namespace tarvex {

// u, v: the field after the last pass; predictedU, predictedV: its predictor at the grid
// points; measured: 1 where the last pass measured the point (only those count and only
// those change). nx * ny values each, row after row.
void AddLastPassChange(const float* u, const float* v, const float* predictedU, const float* predictedV,
                       const unsigned char* measured, int nx, int ny, float* sigmaU, float* sigmaV);

}  // namespace tarvex

#endif
