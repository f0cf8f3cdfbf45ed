#include "InterruptibleAnalysis.h"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace tarvex {

namespace py = pybind11;

namespace {

// How often the waiting thread looks for signals.
constexpr std::chrono::milliseconds kSignalCheck{50};

// The analysis on its thread and what it leaves: the field, or the exception it threw.
class AnalysisThread {
 public:
  AnalysisThread(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                 const MaskImage* mask, const BackgroundRequest& background)
      : thread_([this, &settings, &first, &second, mask, &background] {
          Run(settings, first, second, mask, background);
        }) {}
  ~AnalysisThread() {
    if (thread_.joinable()) Stop();
  }
  AnalysisThread(const AnalysisThread&) = delete;
  AnalysisThread& operator=(const AnalysisThread&) = delete;

  // Waits at most one check interval; true once the analysis has ended.
  bool Wait() {
    std::unique_lock<std::mutex> lock(lock_);
    return ended_.wait_for(lock, kSignalCheck, [this] { return done_; });
  }
  // Cancels the analysis and waits for its thread.
  void Stop() {
    cancel_.store(true, std::memory_order_relaxed);
    thread_.join();
  }
  FieldResult Result() {
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    return std::move(*field_);
  }

 private:
  void Run(const AnalysisSettings& settings, const Image16& first, const Image16& second, const MaskImage* mask,
           const BackgroundRequest& background) {
    try {
      field_.emplace(AnalyseImages(settings, first, second, mask, background, &cancel_));
    } catch (...) {
      failure_ = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(lock_);
    done_ = true;
    ended_.notify_one();
  }

  std::atomic<bool> cancel_{false};
  std::mutex lock_;
  std::condition_variable ended_;
  bool done_ = false;
  std::optional<FieldResult> field_;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once everything it uses is made
};

}  // namespace

FieldResult AnalyseInterruptibly(const AnalysisSettings& settings, const Image16& first, const Image16& second,
                                 const MaskImage* mask, const BackgroundRequest& background) {
  std::optional<AnalysisThread> analysis;
  try {
    analysis.emplace(settings, first, second, mask, background);
  } catch (const std::system_error&) {
    py::gil_scoped_release release;
    return AnalyseImages(settings, first, second, mask, background);
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
