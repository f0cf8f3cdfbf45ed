// What pivsynth's images hold besides the particles: a static background, the same in both
// images of every pair, as a camera sees one (a glow across the image, reflection bands, the
// even/odd row pattern of a sensor), and dark regions of the light sheet that dim the
// particles' light. Positions as the analysis uses them: x the column, y the row; a region
// covers the pixels whose centres lie inside it, its bounds included (as a mask rectangle).
//
// Worked example on a 5 x 4 image: glow 100 adds 0, 25, 50, 75 and 100 counts to the columns
// of every row; band 1,2,40 adds 40 counts to rows 1 and 2; row-pattern 10,1,0,3,3 adds 10
// counts to columns 1 to 3 of rows 1 and 3 (the odd ones). Pixel (2, 1) gets 50 + 40 + 10 =
// 100 counts, (4, 3) 100 + 0 + 0 = 100, (0, 0) nothing. dim 0,0,1,1,0.5 halves the particle
// light of columns 0 and 1 in rows 0 and 1.
#ifndef FORMATS_SCENELIGHT_H
#define FORMATS_SCENELIGHT_H

#include <vector>

// `level` counts on the rows y0 <= y <= y1, every column.
struct LightBand {
  double y0 = 0.0, y1 = 0.0, level = 0.0;
};

// `level` counts on the odd rows of the rectangle x0 <= x <= x1, y0 <= y <= y1.
struct RowPattern {
  double level = 0.0;
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
};

// The particle light of the rectangle x0 <= x <= x1, y0 <= y <= y1 multiplied by `factor`.
struct DimRegion {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  double factor = 1.0;
};

struct SceneLight {
  double glow = 0.0;  // counts at the last column, falling linearly to 0 at x = 0
  std::vector<LightBand> bands;
  std::vector<RowPattern> rowPatterns;
  std::vector<DimRegion> dims;

  bool HasBackground() const { return glow != 0.0 || !bands.empty() || !rowPatterns.empty(); }
};

#endif
