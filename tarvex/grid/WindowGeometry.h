// Where the window of a grid point lies. A point at pixel position p (the position a DPIV
// file records) has its window of n pixels start at p - n/2 + 1, integer division: the point
// is pixel n/2 - 1 of its own window. The same index is the cell of zero shift on an n-wide
// correlation plane, and the first point of a grid whose first window starts at pixel 0.
//
// Worked example (tested by these numbers): a 32 px window at point 15 covers pixels 0 to 31,
// its centre is at 15.5, and a peak in cell 18 of its 32-wide plane is a shift of 18 - 15 =
// +3 px; a 15 px window at point 15 covers pixels 9 to 23 and its centre is at 16.
#pragma once

namespace tarvex {

// The first pixel (column or row) of the window of `size` pixels at grid position `point`.
constexpr int WindowStart(int point, int size) { return point - size / 2 + 1; }

// The point's own pixel counted from its window's first one; the zero-shift cell of a
// correlation plane `size` cells wide.
constexpr int PointInWindow(int size) { return size / 2 - 1; }

// The centre of the window's pixels, half-way between the middle two for an even size.
constexpr double WindowCentre(double point, int size) {
  return point - PointInWindow(size) + (size - 1) / 2.0;
}

}  // namespace tarvex
