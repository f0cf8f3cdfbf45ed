// Writes a pair's files while the next pair is measured: the records are copied out of the
// grid, the files written on a thread of its own (in line when none can be started), and the text the writing prints ("Writing
// out DPIV file: ...", a failure, the separator) held back so that it comes out after the
// pair's analysis text and before the next pair's, exactly as when writing in line.
#ifndef PAIRWRITER_H
#define PAIRWRITER_H

#include <vector>

#include "DpivFile.h"
#include "FieldFrame.h"
#include "PairAnalysis.h"
#include "SeriesPlan.h"
#include "support/Console.h"
#include "support/WorkerThreads.h"

namespace tarvex {

class PairWriter {
 public:
  PairWriter() = default;
  PairWriter(const PairWriter&) = delete;
  PairWriter& operator=(const PairWriter&) = delete;

  // Starts writing the files of the pair the analysis holds; a write still running is
  // waited for first (its text is then lost: Finish it before).
  void Start(const TarvexSettings& s, PairAnalysis& analysis, const PairJob& job);
  // Waits for the writing; adds its text to text and returns whether every file was written.
  // Rethrows what the writing thread threw.
  bool Finish(std::vector<ConsoleChunk>& text);
  bool Running() const { return writing_.Pending(); }

 private:
  void Write();

  const TarvexSettings* settings_ = nullptr;
  PairJob job_{};
  int nx_ = 0, ny_ = 0;
  std::vector<VectorRecord> dpiv_, tecplot_;
  FieldMetadata metadata_;  // of the field files (-nc), made once per run
  std::vector<float> sigmaU_, sigmaV_;
  std::vector<ExtraField> extras_;  // the vectors' uncertainties of a deformation analysis
  Console console_;
  bool written_ = true;
  BackgroundWork writing_;
};

}  // namespace tarvex

#endif
