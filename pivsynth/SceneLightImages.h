// The scene's light as images (see SceneLight.h): the factor the particle light is dimmed
// by and the static background, made once for a run and applied to every image, so that
// the background is the same in both images of every pair.
//
// Worked example on a 5 x 4 image with glow 100, band 1,2,40, row-pattern 10,1,0,3,3 and
// dim 0,0,1,1,0.5: the background is
//   0 25 50 75 100 / 40 75 100 125 140 / 40 65 90 115 140 / 0 35 60 85 100
// (row after row), and a particle light of 200 counts everywhere becomes 100 on columns 0
// and 1 of rows 0 and 1, so that pixel (1, 1) holds 100 + 75 = 175 counts before noise.
#ifndef PIVSYNTH_SCENELIGHTIMAGES_H
#define PIVSYNTH_SCENELIGHTIMAGES_H

#include <vector>

#include "ParticleRenderer.h"
#include "SceneLight.h"

class SceneLightImages {
 public:
  SceneLightImages(const SceneLight& light, int width, int height);
  // The background in counts at pixel (x, y) (inside the image).
  double Background(int x, int y) const;
  // Dims the particle light of the image, then adds the background. Does nothing for a
  // scene without either, so that such images keep their bits.
  void Apply(IntensityImage& image) const;

 private:
  int width_;
  std::vector<double> factor_;      // width * height, or empty when nothing is dimmed
  std::vector<double> background_;  // width * height, or empty when there is none
};

#endif
