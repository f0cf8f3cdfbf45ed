// The normalised median test (Westerweel and Scarano, Exp. Fluids 2005): a vector is
// judged against the median of its up to eight measured neighbours, its distance to that
// median divided by the median of the neighbours' own distances to it plus a floor eps
// that stands for the measurement noise.
//
// Worked example (one component; eps 0.1, threshold 2): neighbours 1.0 1.1 0.9 1.0 1.2
// 0.8 1.0 1.1 have the median 1.0 and distances 0 0.1 0.1 0 0.2 0.2 0 0.1, median 0.1.
// A vector 1.3 gives |1.3 - 1.0| / (0.1 + 0.1) = 1.5: kept. A vector 1.5 gives 2.5:
// rejected. On a uniform field every distance is 0, and the floor alone decides: a vector
// is rejected when more than 2 x 0.1 = 0.2 px from its neighbours.
//
// The spread over the 5 x 5 neighbourhood: across the crest of a wave that varies along x
// only, of 2 px amplitude and 8 grid spacings a wave, the crest column holds 2.0 and the
// columns one and two away 1.414 and 0.0. The median of the eight neighbours is 1.414 and
// six of them equal it, so their median residual is 0: the crest, 0.586 px off, scores
// 0.586 / (0 + 0.1) = 5.9 and would be rejected. The 5 x 5 neighbourhood's residuals are
// 0 (10 points), 0.586 (4) and 1.414 (10), median 0.586: the crest scores
// 0.586 / (0.586 + 0.1) = 0.85 and stays.
#ifndef NORMALISEDMEDIANTEST_H
#define NORMALISEDMEDIANTEST_H

namespace tarvex {

// Where the typical residual that normalises a vector's residual comes from.
enum class MedianTestSpread {
  ThreeByThree,  // the eight neighbours, as Westerweel and Scarano
  // The 24 points of the 5 x 5 neighbourhood, measured from the median of the eight: a
  // resolved curvature keeps the normaliser from collapsing where most neighbours agree.
  FiveByFive,
};

struct MedianTestSettings {
  double threshold = 2.0;  // largest normalised residual kept
  double epsilon = 0.1;    // px: the noise floor added to the neighbours' median residual
  MedianTestSpread spread = MedianTestSpread::ThreeByThree;
};

// The normalised residual of the vector (u0, v0) against the n neighbour vectors
// (u[k], v[k]): both components' residuals combined as sqrt(ru^2 + rv^2). With no
// neighbour it is 0 (nothing to judge against). n is at most 8.
double NormalisedResidual(float u0, float v0, const float* u, const float* v, int n, double epsilon);

// Judges every measured point of an nx x ny field (row after row) against its measured
// neighbours; a missing neighbour (beyond the border, or not measured) is replaced by its
// linear extrapolation from two measured points in line with it (never the point judged),
// so that a gradient does not make the border points look like outliers. valid[k] becomes
// 1 for a measured point that passes, 0 otherwise; a vector that is not finite never
// passes and is no neighbour. The neighbours are judged as measured, not as judged, so
// the result does not depend on the order of the points. Returns the number of measured points rejected.
int NormalisedMedianTest(const float* u, const float* v, const unsigned char* measured, int nx,
                         int ny, const MedianTestSettings& settings, unsigned char* valid);

}  // namespace tarvex

#endif
