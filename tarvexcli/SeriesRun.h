// The run over a range of a series' pairs: each pair's images are read while the pair before
// is measured, its files written while the next pair is measured, and its text held back and
// handed on in pair order, so that the console and the files are those of doing one thing
// after another. A range that starts inside the series first analyses the pair before it,
// writing and printing nothing, so that its points start from the state a run from the first
// pair would leave them in. With -resume, pairs whose files are all finished (see PairOutputs)
// are skipped, and each run of pairs still to do starts the same way.
//
// Worked example: -all 1 1 2 over 10 pairs with pairs 1 to 4 written by an earlier run: with
// -resume the text of pair 1 is "Resuming: 4 pairs already written, skipped (first images 1
// to 7)\n", pairs 2 to 4 have none, pair 4 (images 7, 8) is analysed silently, and pairs 5 to
// 10 are analysed and written as the full run would.
#ifndef SERIESRUN_H
#define SERIESRUN_H

#include <ctime>
#include <functional>
#include <vector>

#include "PairAnalysis.h"
#include "PairWriter.h"
#include "SeriesPlan.h"
#include "images/PIVImage.h"
#include "support/Console.h"

namespace tarvex {

// Receives the text of pair `pair` (an index into the jobs) and whether the pair was
// analysed and written (or skipped); called once per pair, in order.
using PairTextSink = std::function<void(size_t pair, std::vector<ConsoleChunk>&& text, bool ok)>;

class SeriesRun {
 public:
  // The console is the one the image store and the analysis print to; the run holds it back
  // while it runs.
  SeriesRun(const TarvexSettings& s, PIVImage& image, PairAnalysis& analysis, Console& console)
      : s_(s), image_(image), analysis_(analysis), console_(console) {}

  // With -resume, files older than `since` (when given) are an earlier run's: their pairs are
  // analysed again.
  void ResumeSince(const timespec* since);
  // Runs jobs[begin, end); true when every pair was analysed and written or skipped.
  bool Run(const std::vector<PairJob>& jobs, size_t begin, size_t end, const PairTextSink& sink);

 private:
  bool Series() const { return (s_.pflag & PFLAG_SERIES) != 0; }
  // Puts the pair's images in the store's slots (series mode); false when one cannot be read.
  bool Select(const PairJob& job);
  // Analyses the pair for the state it leaves, writing and printing nothing.
  void WarmUp(const PairJob& job);
  // Hands on the text of the pair being written, once its files are.
  void FinishWriting(const PairTextSink& sink);

  const TarvexSettings& s_;
  PIVImage& image_;
  PairAnalysis& analysis_;
  Console& console_;
  PairWriter writer_;
  size_t writing_ = 0;                    // the pair the writer holds
  std::vector<ConsoleChunk> writingText_;  // its analysis text
  bool failed_ = false;
  bool hasSince_ = false;
  timespec since_{};
};

}  // namespace tarvex

#endif
