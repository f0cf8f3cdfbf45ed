// The known displacement fields of the synthetic image pairs. Coordinates are pixel
// positions as the analysis uses them: x the column, y the row index.
#ifndef PIVSYNTH_DISPLACEMENTFIELD_H
#define PIVSYNTH_DISPLACEMENTFIELD_H

#include <string>

enum class FieldKind { Uniform, Rotation, Vortex, Shear };
enum class VortexProfile { Rankine, LambOseen };

struct DisplacementField {
  FieldKind kind = FieldKind::Uniform;
  double dx = 0.0, dy = 0.0;       // uniform shift in pixels
  double omega = 0.0;              // rotation: angle per frame in radians
  double cx = 0.0, cy = 0.0;       // centre of rotation, vortex and shear
  VortexProfile profile = VortexProfile::LambOseen;
  double gamma = 0.0;              // vortex circulation, px^2 per frame
  double core = 10.0;              // vortex core radius in pixels
  double shear = 0.0;              // du/dy, x displacement per pixel of y
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

#endif
