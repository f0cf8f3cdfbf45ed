#include "InterruptibleAnalysis.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "support/WorkerThreads.h"

namespace tarvex {

namespace py = pybind11;

namespace {

// How often the waiting thread looks for signals.
constexpr std::chrono::milliseconds kSignalCheck{50};

// The analysis on a thread of its own (on the caller, before the constructor returns, when
// no thread can be started) and what it leaves: the field, or what it threw.
class AnalysisThread {
 public:
  AnalysisThread(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                 const MaskImage* mask, const BackgroundRequest& background) {
    work_.Start([this, &settings, &first, &second, mask, &background] {
      const MarkDone done{*this};
      field_.emplace(AnalyseImages(settings, first, second, mask, background, &cancel_));
    });
  }
  // Left without Result or Stop (an exception on the way): the analysis is told to stop, and
  // work_ then waits for it.
  ~AnalysisThread() { cancel_.store(true, std::memory_order_relaxed); }
  AnalysisThread(const AnalysisThread&) = delete;
  AnalysisThread& operator=(const AnalysisThread&) = delete;

  // Waits at most one check interval; true once the analysis has ended.
  bool Wait() {
    std::unique_lock<std::mutex> lock(lock_);
    return ended_.wait_for(lock, kSignalCheck, [this] { return done_; });
  }
  // Cancels the analysis and waits for it; what it threw on the way out is dropped.
  void Stop() {
    cancel_.store(true, std::memory_order_relaxed);
    try {
      work_.Wait();
    } catch (...) {
    }
  }
  FieldResult Result() {
    work_.Wait();
    return std::move(*field_);
  }

 private:
  // Marks the analysis ended however it leaves its work.
  struct MarkDone {
    AnalysisThread& analysis;
    ~MarkDone() {
      std::lock_guard<std::mutex> lock(analysis.lock_);
      analysis.done_ = true;
      analysis.ended_.notify_one();
    }
  };

  std::atomic<bool> cancel_{false};
  std::mutex lock_;
  std::condition_variable ended_;
  bool done_ = false;
  std::optional<FieldResult> field_;
  BackgroundWork work_;  // last: it waits for the work before anything the work uses goes
};

}  // namespace

FieldResult AnalyseInterruptibly(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                                 const MaskImage* mask, const BackgroundRequest& background) {
  std::optional<AnalysisThread> analysis;
  {
    py::gil_scoped_release release;
    analysis.emplace(settings, first, second, mask, background);
  }
  for (;;) {
    bool ended = false;
    {
      py::gil_scoped_release release;
      ended = analysis->Wait();
    }
    if (ended) break;
    if (PyErr_CheckSignals() != 0) {
      py::error_already_set interrupt;  // takes the handler's exception (KeyboardInterrupt)
      {
        py::gil_scoped_release release;
        analysis->Stop();
      }
      throw interrupt;
    }
  }
  py::gil_scoped_release release;
  return analysis->Result();
}

}  // namespace tarvex
