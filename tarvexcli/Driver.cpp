// The analysis run of tarvex: plans, image store, grid, and for every pair the
// calculation, the requested checks and smoothing, and the output files.
#include "Driver.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

#include "DefineFFTWPlans.h"
#include "PIVImage.h"
#include "PairAnalysis.h"
#include "ParseParameters.h"

namespace {

const char* const kRunSeparator =
    "========================================================================================";

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

// Says on standard error that a file could not be written; false.
bool WriteFailed(const PIVGrid& grid) {
  std::fflush(stdout);
  std::fprintf(stderr, "tarvex: %s\n", grid.WriteError().c_str());
  return false;
}

// Calculation, validation, smoothing and output of the pair in the store's slots; false
// when the analysis could not be completed or a file could not be written.
bool AnalysePair(const TarvexSettings& s, PairAnalysis& analysis, bool seriesMode,
                 const OutputNames& names) {
  if (!analysis.Analyse(seriesMode)) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarvex: %s; no files written for this pair\n", analysis.Error().c_str());
    return false;
  }
  PIVGrid& grid = analysis.Grid();
  const bool smooth = (s.pflag & PFLAG_SMOOTH) != 0;
  bool written = true;
  if (s.pflag & PFLAG_TECPLOT) {
    std::cout << "Writing out tecplot file: " << names.tecplot << ", please wait ...."
              << std::endl;
    if (!grid.WriteTecPlotVelocityFile(names.tecplot, smooth ? 1 : 0)) written = WriteFailed(grid);
  }
  std::cout << "Writing out DPIV file: " << names.dpiv << ", please wait ...." << std::endl;
  if (!grid.WriteBasicDPIVFile(names.dpiv)) written = WriteFailed(grid);
  std::cout << kRunSeparator << "\n" << std::endl;
  return written;
}

}  // namespace

// ParseParameters has refused non-positive DFT sizes, spacings and strides, so the grid
// size and the series loop are finite here.
int RunAnalysis(const TarvexSettings& s) {
  // Made once before the image is opened and shared read-only by every point.
  const FFTPlanTable plans(s.speed, true, kWisdomFileName, StandardOutput());

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

  PairAnalysis analysis(ToAnalysisSettings(s), plans.Entries(), image, StandardOutput());

  std::cout << "\nCalculating TARVEX, please wait ....." << std::endl;
  bool failed = false;
  for (size_t p = 0; p < firsts.size(); p++) {
    if (seriesMode) {
      // Both reads are tried, so the console shows each image's outcome; a pair that was
      // not read whole is not analysed, or the previous pair's images would pass for it.
      const bool first = image.SetFirstImg(firsts[p]);
      const bool second = image.SetSecondImg(firsts[p] + s.inc);
      if (!first || !second) {
        std::fflush(stdout);
        std::fprintf(stderr, "tarvex: pair %d, %d not analysed: an image could not be read\n",
                     firsts[p], firsts[p] + s.inc);
        failed = true;
        continue;
      }
    }
    if (!AnalysePair(s, analysis, seriesMode, names[p])) failed = true;
  }
  return failed ? 1 : 0;
}
