// Which particle a measured vector is compared with. pivsynth makes its pairs in one of two
// schemes: `first`, where a particle at p in the first image lies at p + u(p) in the second
// (the truth u is given at first-image positions), and `symmetric`, where a particle seeded
// at p lies at p - F(p)/2 in the first image and at p + F(p)/2 in the second (the truth F is
// given at the midpoints of the paths). A vector at the window centre q is compared, by its
// reference point, with either the displacement of the particle whose path has its midpoint
// at q (`midpoint`: F(q), what central-difference analysis measures) or the displacement of
// the particle that starts at q (`first`: u(q)). Where the scheme and the reference differ the
// one is found from the other by fixed-point steps along the path: d = u(q - d/2) for the
// midpoint from a first-scheme truth, d = F(q + d/2) for the start from a symmetric one. Each
// step shrinks the error by about half the field's gradient, so the steps converge wherever the
// gradient stays below 2 (far beyond what particle images allow).
//
// Worked example, a solid rotation of omega = 0.2 rad about (50, 50), q = (60, 50), 10 px right
// of the centre, a = omega / 2 = 0.1:
//   scheme first:     reference first    (0, 2)                                  = u(q)
//                     reference midpoint omega (a, 1) * 10 / (1 + a^2) = (0.19802, 1.98020)
//   scheme symmetric: reference midpoint (0, 2)                                  = F(q)
//                     reference first    omega (-a, 1) * 10 / (1 + a^2) = (-0.19802, 1.98020)
// The two references differ by omega^2 r / 2 = 0.2 px radially, to first order. In a shear of
// 0.1 about row 0 both give (2, 0) at (5, 20): the particle moves along x, where the shear does
// not vary. A sine wave along x (amplitude 1, wavelength 40) shifted by dx = 10 in the first
// scheme gives at q = (15, 0): first (10, sin(3 pi / 4)) = (10, 0.70711), midpoint the wave at
// x = 15 - 10/2 = 10, (10, sin(pi / 2)) = (10, 1). With omega = 3 the steps do not converge.
#ifndef FORMATS_TRUTHREFERENCE_H
#define FORMATS_TRUTHREFERENCE_H

#include <string>

#include "DisplacementField.h"

// How the images of a pair follow the field (see above).
enum class SynthScheme { First, Symmetric };

// Which particle's displacement a vector at a window centre is compared with (see above).
enum class ReferencePoint { Midpoint, First };

const char* SynthSchemeName(SynthScheme scheme);
bool ParseSynthScheme(const std::string& text, SynthScheme& scheme);
const char* ReferencePointName(ReferencePoint reference);
bool ParseReferencePoint(const std::string& text, ReferencePoint& reference);

// The true displacement at the window centre (x, y) by the reference point, for images made
// in the scheme. False, with d untouched, where the steps do not reach 1e-9 px within 200.
bool ReferredDisplacement(const DisplacementField& field, SynthScheme scheme, ReferencePoint reference, double x,
                          double y, Displacement& d);

#endif
