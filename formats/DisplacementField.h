// The known displacement fields of the synthetic image pairs. Coordinates are pixel
// positions as the analysis uses them: x the column, y the row index.
//
// Worked example: centre (100, 50) and the point (110, 30), so rx = 10, ry = -20, r^2 = 500:
//   uniform dx = 2.3, dy = -1.2      (2.3, -1.2), the same everywhere
//   rotation omega = 0.01            (-omega ry, omega rx) = (0.2, 0.1)
//   shear 0.02                       (shear ry, 0) = (-0.4, 0)
//   vortex rankine, gamma = 100 pi, core 10: outside the core k = gamma / (2 pi r^2) = 0.1,
//     (-k ry, k rx) = (2, 1); at (103, 54), r^2 = 25, inside it k = 0.5: (-2, 1.5)
//   vortex lamb-oseen, same gamma and core: (2, 1) * (1 - e^-5) = (1.98652, 0.99326)
//   sine amplitude 0.5, wavelength 80, direction x, dx = 1, dy = 0.25: a transverse wave that
//     varies along x and moves along y, (dx, dy + A sin(2 pi x / L)) = (1, 0.25 + 0.5 sin(11 pi / 4))
//     = (1, 0.60355); direction y: (dx + A sin(2 pi y / L), dy) = (1 + 0.5 sin(3 pi / 4), 0.25)
//     = (1.35355, 0.25)
#ifndef PIVSYNTH_DISPLACEMENTFIELD_H
#define PIVSYNTH_DISPLACEMENTFIELD_H

#include <string>

enum class FieldKind { Uniform, Rotation, Vortex, Shear, Sine };
enum class VortexProfile { Rankine, LambOseen };
// The axis a sine wave varies along; it moves particles across it.
enum class WaveDirection { X, Y };

struct DisplacementField {
  FieldKind kind = FieldKind::Uniform;
  double dx = 0.0, dy = 0.0;       // uniform shift in pixels (also added to the sine wave)
  double omega = 0.0;              // rotation: angle per frame in radians
  double cx = 0.0, cy = 0.0;       // centre of rotation, vortex and shear
  VortexProfile profile = VortexProfile::LambOseen;
  double gamma = 0.0;              // vortex circulation, px^2 per frame
  double core = 10.0;              // vortex core radius in pixels
  double shear = 0.0;              // du/dy, x displacement per pixel of y
  double amplitude = 0.0;          // sine: largest displacement across the wave, pixels
  double wavelength = 64.0;        // sine: pixels
  WaveDirection direction = WaveDirection::X;
};

struct Displacement {
  double dx = 0.0, dy = 0.0;
};

// Displacement of a particle whose first-image position is (x, y).
Displacement DisplacementAt(const DisplacementField& field, double x, double y);

// An upper bound of the displacement magnitude anywhere in [x0, x1] x [y0, y1].
double MaxDisplacement(const DisplacementField& field, double x0, double y0, double x1, double y1);

const char* FieldKindName(FieldKind kind);
bool ParseFieldKind(const std::string& text, FieldKind& kind);
const char* VortexProfileName(VortexProfile profile);
bool ParseVortexProfile(const std::string& text, VortexProfile& profile);
const char* WaveDirectionName(WaveDirection direction);
bool ParseWaveDirection(const std::string& text, WaveDirection& direction);

#endif
