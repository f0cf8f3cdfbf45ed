// The settings of a tarvex run, filled by ParseParameters and read by the driver; the
// analysis library gets its part of them as AnalysisSettings.
#ifndef SETTINGS_H
#define SETTINGS_H

#include <string>

#include "AnalysisSettings.h"
#include "peaks/ThreePointGaussian.h"
#include "preprocess/SeriesBackground.h"

namespace tarvex {

// Bits of pflag (program switches).
constexpr unsigned char PFLAG_ITERATE = 0x01;  // -i: two-pass analysis
constexpr unsigned char PFLAG_SERIES = 0x04;   // -all: series of pairs
constexpr unsigned char PFLAG_SMOOTH = 0x40;   // -s: moving-average smoothing
constexpr unsigned char PFLAG_TECPLOT = 0x80;  // -tec: Tecplot output

// Bits of cflag (validation checks requested).
constexpr unsigned char CFLAG_MINRHO = 0x01;     // -MinRho
constexpr unsigned char CFLAG_MAXVEL = 0x02;     // -MaxVelRat
constexpr unsigned char CFLAG_GLOBALHIST = 0x04; // -GHcheck
constexpr unsigned char CFLAG_MEDIAN = 0x08;     // -MVOcheck
constexpr unsigned char CFLAG_DYNMEAN = 0x10;    // -DMVOcheck

constexpr int kNameLength = 200;  // file-name buffers: 199 characters and a terminating zero

struct TarvexSettings {
  unsigned char pflag = 0;
  unsigned char cflag = 0;
  int speed = 0;
  int fftx = 64;
  int ffty = 64;
  int Delx = 0;
  int Dely = 0;
  int Xoff = 0;
  int Yoff = 0;
  float MinRho = 0.0f;
  float MaxVelRatio = 0.5f;
  float C3 = 3.0f;
  float C4 = 1.0f;
  float C1 = 1.0f;
  float C2 = 1.0f;
  int start = 1;
  int inc = 1;
  int stride = 1;
  int threads = 1;  // -j: threads measuring the points of a pass; 0 = one per core
  char filename[kNameLength] = "";
  char sname[kNameLength] = "";
  // Opt-in analysis modes (-subpix, -meansub); the defaults keep the standard analysis.
  SubPixelEstimator subpix = SubPixelEstimator::Fit;
  bool subpixGiven = false;  // -subpix appeared (-deform refuses an explicit fit)
  bool meansub = false;
  bool resume = false;  // -resume: skip the pairs whose files exist
  int deform = 0;       // -deform N: refinement passes after the first (0: none)
  int firstWindow = 0;  // -dft0 W: the first pass's square window (0: the DFT size)
  // -deformref: where -deform refers its vectors (the window centre at mid-path by default)
  DeformReference deformReference = DeformReference::Midpoint;
  bool deformReferenceGiven = false;
  char maskname[kNameLength] = "";  // -mask FILE: where there is flow ("": everywhere)
  bool netcdf = false;  // -nc: a NetCDF field file next to each DPIV file
  std::string commandLine;  // the command line as given, for the files' history
  // Pre-processing of both images of every pair: -bg min, mean or an image-pair file ("":
  // none), -highpass K (0: none), -cap.
  char background[kNameLength] = "";
  int highpass = 0;
  bool cap = false;
};

// Whether the run subtracts a background, and whether it reads it from a file (-bg FILE)
// rather than making it over the series (-bg min, -bg mean, as *statistic).
bool SubtractsBackground(const TarvexSettings& s);
bool BackgroundFromFile(const TarvexSettings& s);
bool BackgroundOverSeries(const TarvexSettings& s, BackgroundStatistic* statistic);

// The analysis part of the run's settings.
AnalysisSettings ToAnalysisSettings(const TarvexSettings& s);

}  // namespace tarvex

#endif
