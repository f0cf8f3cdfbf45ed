// The analysis run of tarvex: plans, image store, grid, and for every pair the
// calculation, the requested checks and smoothing, and the output files (see SeriesRun).
#include "Driver.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "MaskFile.h"
#include "PairAnalysis.h"
#include "ParseParameters.h"
#include "ProgressLine.h"
#include "RunChecks.h"
#include "SeriesPlan.h"
#include "SeriesRun.h"
#include "correlation/DefineFFTWPlans.h"
#include "images/PIVImage.h"
#include "preprocess/BackgroundFile.h"
#include "preprocess/SeriesBackground.h"

namespace tarvex {

bool PlanImages(const TarvexSettings& s, const PIVImage& image, std::vector<PairJob>& jobs) {
  if (!image.FopenFlag || image.NumberImages() < 1) {
    std::fprintf(stderr, "tarvex: cannot read images from %s\n", s.filename);
    return false;
  }
  std::string error;
  if (!PlanRun(s, image.NumberImages(), jobs, error)) {
    std::fprintf(stderr, "tarvex: %s\n", error.c_str());
    return false;
  }
  if (jobs.empty()) {
    std::fprintf(stderr, "tarvex: no pair to analyse: -all %d %d %d finds no pair among the %d images of %s\n",
                 s.start, s.inc, s.stride, image.NumberImages(), s.filename);
    return false;
  }
  return true;
}

bool SetRunMask(const TarvexSettings& s, PairAnalysis& analysis, const PIVImage& image) {
  if (s.maskname[0] == '\0') return true;
  MaskImage mask;
  MaskFileKind kind;
  std::string error;
  if (!ReadMaskFile(s.maskname, mask, kind, error)) {
    std::fprintf(stderr, "tarvex: %s\n", error.c_str());
    return false;
  }
  const int width = mask.Width(), height = mask.Height();
  if (!analysis.SetMask(std::move(mask))) {
    std::fprintf(stderr, "tarvex: the mask %s is %d x %d px, the images are %d x %d px\n", s.maskname, width,
                 height, image.Width(), image.Height());
    return false;
  }
  return true;
}

bool MakeRunBackground(const TarvexSettings& s, const PairAnalysis& analysis, const PIVImage& image, bool progress,
                       BackgroundImage& background) {
  BackgroundStatistic statistic;
  Status made;
  if (!BackgroundOverSeries(s, &statistic)) {
    made = ReadBackgroundFile(s.background, image.Width(), image.Height(), background);
  } else {
    ProgressLine line(static_cast<size_t>(image.NumberImages()), progress, progress && isatty(1), "tarvex", "images",
                      "background");
    made = EstimateSeriesBackground(
        s.filename, statistic, analysis.MaskBytes(),
        [&line](int done, int) { line.Update(static_cast<size_t>(done)); }, background);
  }
  if (!made) std::fprintf(stderr, "tarvex: %s\n", made.message());
  return made.ok();
}

bool UseBackground(PairAnalysis& analysis, const PIVImage& image, BackgroundImage background) {
  const int width = background.width, height = background.height;
  if (analysis.SetBackground(std::move(background))) return true;
  std::fprintf(stderr, "tarvex: the background is %d x %d px, the images are %d x %d px\n", width, height,
               image.Width(), image.Height());
  return false;
}

void AnnounceGrid(const TarvexSettings& s, PairAnalysis& analysis, Console& console) {
  const int nx = analysis.Grid().NX(), ny = analysis.Grid().NY();
  console.Printf("\nTARVEX analysis grid = %d x %d\n", nx, ny);
  if (s.maskname[0] != '\0')
    console.Printf("Mask %s: %d of %d points masked\n", s.maskname, analysis.MaskedPoints(), nx * ny);
  console.Print(analysis.PreprocessingSummary().c_str());
  console.Print("\nCalculating TARVEX, please wait .....\n");
  console.Flush();
}

// ParseParameters has refused non-positive DFT sizes, spacings and strides, so the grid
// size and the series loop are finite here.
int RunAnalysis(const TarvexSettings& s) {
  // Before anything is written, the wisdom file included.
  RunRecord record;
  if (!CheckBeforeWriting(s, record)) return 1;
  Console& console = StandardOutput();
  // Made once before the image is opened and shared read-only by every point.
  const FFTPlanTable plans(s.speed, true, kWisdomFileName, console);

  PIVImage image(s.filename, console);
  std::vector<PairJob> jobs;
  if (!PlanImages(s, image, jobs)) return 1;

  PairAnalysis analysis(ToAnalysisSettings(s), plans.Entries(), image, console);
  if (!SetRunMask(s, analysis, image)) return 1;
  if (SubtractsBackground(s)) {
    BackgroundImage background;
    if (!MakeRunBackground(s, analysis, image, isatty(2), background) ||
        !UseBackground(analysis, image, std::move(background)))
      return 1;
  }
  // A series' record is there before its first file.
  if ((s.pflag & PFLAG_SERIES) && !record.Write()) return 1;

  if (!(s.pflag & PFLAG_SERIES)) {
    int i1 = 0, i2 = 0;
    if (!ReadImagePair(i1, i2)) return 1;
    image.SetFirstImg(i1);
    image.SetSecondImg(i2);
    jobs[0].first = i1;
    jobs[0].second = i2;
  }

  AnnounceGrid(s, analysis, console);

  ProgressLine progress(jobs.size(), (s.pflag & PFLAG_SERIES) && isatty(2), isatty(1) && isatty(2));
  Console direct;
  size_t done = 0;
  const PairTextSink show = [&](size_t, std::vector<ConsoleChunk>&& text, bool) {
    progress.MakeWay();
    direct.Write(text);
    direct.Flush();
    progress.Update(++done);
  };
  SeriesRun run(s, image, analysis, console);
  run.ResumeSince(record.Since());
  const bool ok = run.Run(jobs, 0, jobs.size(), show);
  progress.Clear();
  return ok ? 0 : 1;
}

}  // namespace tarvex
