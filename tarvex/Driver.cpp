// The analysis run of tarvex: plans, image store, grid, and for every pair the
// calculation, the requested checks and smoothing, and the output files.
#include "Driver.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "DefineFFTWPlans.h"
#include "PIVGrid.h"
#include "PIVImage.h"
#include "ParseParameters.h"
#include "Settings.h"

namespace {

// The plan table lives until the program ends, shared read-only by every point.
FFTWplan* AllFFTWplans = nullptr;

const char* const kRunSeparator =
    "========================================================================================";

// Number of windows of size fft at spacing del that fit inside an image side of length
// width: the last window must end inside the image.
int GridCount(int width, int fft, int del) {
  return width >= fft ? (width - fft) / del + 1 : 0;
}

// The image-pair file name up to its first '.', or the whole name when it has none.
void SeriesName(const char* filename, char* series) {
  const char* dot = std::strchr(filename, '.');
  const size_t n = dot ? static_cast<size_t>(dot - filename) : std::strlen(filename);
  std::memcpy(series, filename, n);
  series[n] = '\0';
}

// The first image ids of the pairs a series run analyses: start, start + stride, ...
// while the second image of the pair exists.
std::vector<int> SeriesPairs(const TarvexSettings& s, int numberImages) {
  std::vector<int> firsts;
  // Wide arithmetic: a large stride must end the loop, not wrap around.
  for (long long i = s.start; i + s.inc <= numberImages; i += s.stride)
    firsts.push_back(static_cast<int>(i));
  return firsts;
}

// Output file names of one pair: the series form carries the first image id.
struct OutputNames {
  char tecplot[kNameLength];
  char dpiv[kNameLength];
};

// Formats the names of the pair whose first image is i (series mode) or of the single
// pair; false when a name does not fit its buffer.
bool MakeOutputNames(const TarvexSettings& s, const char* series, bool seriesMode, int i,
                     OutputNames& names) {
  int tl, dl;
  if (seriesMode) {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.%04d.plt", s.sname, i);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.%04d.dpiv", series, i);
  } else {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.plt", s.sname);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.dpiv", series);
  }
  const bool tecplotFits = !(s.pflag & PFLAG_TECPLOT) || (tl >= 0 && tl < kNameLength);
  return tecplotFits && dl >= 0 && dl < kNameLength;
}

// Hands the constants of the requested checks to the grid, in a fixed order.
void SetCheckConstants(const TarvexSettings& s, PIVGrid& grid) {
  if (s.cflag & CFLAG_MINRHO) grid.setMinRho(s.MinRho);
  if (s.cflag & CFLAG_MAXVEL) grid.setMaxVel(static_cast<float>(s.fftx) * s.MaxVelRatio);
  if (s.cflag & CFLAG_GLOBALHIST) grid.setGlobalHistogramConstant(s.C3);
  if (s.cflag & CFLAG_MEDIAN) grid.setMedianValueThreshold(s.C4);
  if (s.cflag & CFLAG_DYNMEAN) grid.setDynamicMeanValueConstants(s.C1, s.C2);
}

// The requested checks, each after its header; a later check re-judges every point.
void ValidatePair(const TarvexSettings& s, PIVGrid& grid) {
  if (!s.cflag) return;
  std::cout << "\nValidating TARVEX, please wait ....." << std::endl;
  if (s.cflag & CFLAG_MINRHO) {
    std::cout << "\tChecking Max CC > " << s.MinRho << ", ....";
    grid.CCPeakValueCheck();
  }
  if (s.cflag & CFLAG_MAXVEL) {
    std::cout << "\tChecking |Vel(i,j)|/DFT-size < " << s.MaxVelRatio << ", ....";
    grid.MaxVelCheck();
  }
  if (s.cflag & CFLAG_GLOBALHIST) {
    std::printf("\tChecking |U(i,j) - AvgU| < %2.2f*SigU && |V(i,j) - AvgV| < %2.2f*SigV, ....",
                s.C3, s.C3);
    grid.GlobalHistogramCheck();
  }
  if (s.cflag & CFLAG_MEDIAN) {
    std::printf("\tChecking |U(i,j) - MedianU(i,j)| < %2.2f, ....", s.C4);
    grid.MedianValueOperatorCheck();
  }
  if (s.cflag & CFLAG_DYNMEAN) {
    std::cout << "\tChecking |AvgVel(i,j) - Vel(i,j)| < " << s.C1 << " + " << s.C2
              << " * SigSquareVel(i,j)^2, ...";
    grid.DynamicMeanValueOperatorCheck();
  }
}

// Calculation, validation, smoothing and output of the pair in the store's slots.
void AnalysePair(const TarvexSettings& s, PIVGrid& grid, bool seriesMode,
                 const OutputNames& names) {
  if (s.pflag & PFLAG_ITERATE) {
    grid.setDynamicMeanValueConstants(s.C1, s.C2);
    grid.CalculateIterativeGridTARVEX();
  } else {
    grid.CalculateGridTARVEX();
  }
  ValidatePair(s, grid);
  const bool smooth = (s.pflag & PFLAG_SMOOTH) != 0;
  if (smooth) {
    if (seriesMode)
      std::cout << "Calculating moving 9x9 average, please wait ... " << "\n" << std::endl;
    else
      std::cout << "\tCalculating Moving 9x9 average, please wait ... " << std::endl;
    grid.MovingAverageVelocity();
  }
  if (s.pflag & PFLAG_TECPLOT) {
    std::cout << "Writing out tecplot file: " << names.tecplot << ", please wait ...."
              << std::endl;
    grid.WriteTecPlotVelocityFile(names.tecplot, smooth ? 1 : 0);
  }
  std::cout << "Writing out DPIV file: " << names.dpiv << ", please wait ...." << std::endl;
  grid.WriteBasicDPIVFile(names.dpiv);
  std::cout << kRunSeparator << "\n" << std::endl;
}

}  // namespace

// ParseParameters has refused non-positive DFT sizes, spacings and strides, so the grid
// size and the series loop are finite here.
int RunAnalysis() {
  const TarvexSettings& s = settings;

  DefineFFTWPlans(&AllFFTWplans, s.speed, 1);

  char series[kNameLength];
  SeriesName(s.filename, series);

  PIVImage image(s.filename);
  if (!image.FopenFlag || image.NumberImages() < 1) {
    std::fprintf(stderr, "tarvex: cannot read images from %s\n", s.filename);
    return 1;
  }

  const bool seriesMode = (s.pflag & PFLAG_SERIES) != 0;
  const std::vector<int> firsts =
      seriesMode ? SeriesPairs(s, image.NumberImages()) : std::vector<int>{0};
  std::vector<OutputNames> names(firsts.size());
  for (size_t p = 0; p < firsts.size(); p++) {
    if (!MakeOutputNames(s, series, seriesMode, firsts[p], names[p])) {
      std::fprintf(stderr, "tarvex: an output file name would be longer than %d characters\n",
                   kNameLength - 1);
      return 1;
    }
  }

  if (!seriesMode) {
    int i1 = 0, i2 = 0;
    if (!ReadImagePair(i1, i2)) return 1;
    image.SetFirstImg(i1);
    image.SetSecondImg(i2);
  }

  const int nx = GridCount(image.Width(), s.fftx, s.Delx);
  const int ny = GridCount(image.Height(), s.ffty, s.Dely);
  std::cout << "\nTARVEX analysis grid = " << nx << " x " << ny << std::endl;

  PIVGrid dpiv(1, 9999, nx, ny, s.Xoff, s.Yoff, s.Delx, s.Dely, 0, 0, s.fftx, s.ffty, unknown,
               AllFFTWplans, &image);
  SetCheckConstants(s, dpiv);
  dpiv.setSubPixelEstimator(s.subpix);
  dpiv.setMeanSubtraction(s.meansub);
  dpiv.setThreads(s.threads);

  std::cout << "\nCalculating TARVEX, please wait ....." << std::endl;
  for (size_t p = 0; p < firsts.size(); p++) {
    if (seriesMode) {
      image.SetFirstImg(firsts[p]);
      image.SetSecondImg(firsts[p] + s.inc);
    }
    AnalysePair(s, dpiv, seriesMode, names[p]);
  }
  return 0;
}
