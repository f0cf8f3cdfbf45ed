// The peak ratio of a correlation plane: its highest peak over the next highest one
// elsewhere. A window pair without particle images of its own (a dark region, a fixed
// pattern of the sensor, a ridge of equal maxima) has no peak that stands out, and its
// ratio stays near 1; a window pair of matched particle images has ratios of 2 and more.
//
// Worked example, a 6 x 6 plane of zeros with 1.0 at (2, 2), 0.9 at (3, 2) and 0.5 at
// (4, 4): the next peak must lie outside the 3 x 3 cells around (2, 2), so 0.9 (a
// shoulder of the same peak) does not count; it is 0.5, and the ratio is 2.0. With 0.95
// at (4, 4) instead, the ratio is 1.053.
#ifndef PEAKRATIO_H
#define PEAKRATIO_H

namespace tarvex {

// The highest strict local maximum (above its four neighbours) of the interior cells of the
// plane (ny rows of nx floats), the first in row order among equals as search_CCIntPeak
// finds it, at (*x, *y), returned; and in *second the highest strict local maximum outside
// the 3 x 3 cells around it. kNoPeakValue for either when there is none (*x = *y = 0 then).
float HighestTwoPeaks(const float* plane, int nx, int ny, float* x, float* y, float* second);

// best / second, or a large value when the second peak is not positive (nothing competes).
float PeakRatio(float best, float second);

}  // namespace tarvex

#endif
