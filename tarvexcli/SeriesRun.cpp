#include "SeriesRun.h"

#include <string>

#include "PairOutputs.h"

namespace tarvex {

namespace {

// The text standing for a run of skipped pairs.
std::vector<ConsoleChunk> SkippedText(const std::vector<PairJob>& jobs, size_t from, size_t to) {
  const size_t n = to - from;
  std::string line = "Resuming: " + std::to_string(n) + (n == 1 ? " pair" : " pairs") +
                     " already written, skipped (first images " + std::to_string(jobs[from].first) +
                     " to " + std::to_string(jobs[to - 1].first) + ")\n";
  return {{false, line}};
}

}  // namespace

void SeriesRun::ResumeSince(const timespec* since) {
  hasSince_ = since != nullptr;
  if (since != nullptr) since_ = *since;
}

bool SeriesRun::Select(const PairJob& job) {
  if (!Series()) return true;
  // Both reads are tried, so the console shows each image's outcome; a pair that was not
  // read whole is not analysed, or the previous pair's images would pass for it.
  const bool first = image_.SetFirstImg(job.first);
  const bool second = image_.SetSecondImg(job.second);
  if (first && second) return true;
  console_.ErrorPrintf("tarvex: pair %d, %d not analysed: an image could not be read\n", job.first,
                       job.second);
  return false;
}

void SeriesRun::WarmUp(const PairJob& job) {
  if (Select(job)) static_cast<void>(analysis_.Analyse(Series()));  // the pair is analysed again
  console_.TakeHeld();
}

void SeriesRun::FinishWriting(const PairTextSink& sink) {
  if (!writer_.Running()) return;
  const bool written = writer_.Finish(writingText_);
  if (!written) failed_ = true;
  sink(writing_, std::move(writingText_), written);
  writingText_.clear();
}

bool SeriesRun::Run(const std::vector<PairJob>& jobs, size_t begin, size_t end,
                    const PairTextSink& sink) {
  const bool resume = s_.resume;
  std::vector<bool> skip(end, false);
  const int nx = analysis_.Grid().NX(), ny = analysis_.Grid().NY();
  for (size_t p = begin; resume && p < end; p++)
    skip[p] = PairFinished(s_, jobs[p], nx, ny, hasSince_ ? &since_ : nullptr);

  console_.HoldBack();
  failed_ = false;
  // Whether the points hold the state the pair before the next one leaves them in.
  bool stateReady = begin == 0;
  for (size_t p = begin; p < end; p++) {
    if (skip[p]) {
      size_t to = p;
      while (to < end && skip[to]) to++;
      FinishWriting(sink);
      sink(p, SkippedText(jobs, p, to), true);
      for (size_t q = p + 1; q < to; q++) sink(q, {}, true);
      p = to - 1;
      stateReady = false;
      continue;
    }
    if (!stateReady) WarmUp(jobs[p - 1]);
    stateReady = true;
    const bool selected = Select(jobs[p]);
    if (Series() && p + 1 < end && !skip[p + 1]) image_.ReadAhead(jobs[p + 1].first, jobs[p + 1].second);
    const Status analysis = selected ? analysis_.Analyse(Series()) : Status();
    const bool analysed = selected && analysis.ok();
    if (selected && !analysed)
      console_.ErrorPrintf("tarvex: %s; no files written for this pair\n", analysis.message());
    std::vector<ConsoleChunk> text = console_.TakeHeld();
    FinishWriting(sink);
    if (!analysed) {
      failed_ = true;
      sink(p, std::move(text), false);
      continue;
    }
    writingText_ = std::move(text);
    writing_ = p;
    writer_.Start(s_, analysis_, jobs[p]);
  }
  FinishWriting(sink);
  console_.Release();
  return !failed_;
}

}  // namespace tarvex
