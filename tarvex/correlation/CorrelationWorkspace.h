// The work buffers of one worker measuring interrogation points: everything a
// correlation, its peak search and the four fits need, sized once per DFT size and
// reused, so that measuring a point allocates nothing in steady state. A point's two
// windows are loaded straight into fI1 and fI2 and its plane is made in cc: the points of a
// grid keep no buffers of their own.
//
// Worked example: PrepareCorrelation(32, 32) gives fI1, fI2 room for 32 * 32 = 1024 reals, the
// plane cc for 1024 floats and fft1, fft2, S12 for 32 * (32/2 + 1) = 544 complex values.
// PrepareCorrelation(16, 16) then keeps every array as it is (1024 and 544);
// PrepareCorrelation(64, 64) grows them to 4096 and 64 * 33 = 2112. While
// DeferMessagesTo(&log) is set, Print("x") appends "x" to log only.
#ifndef CORRELATIONWORKSPACE_H
#define CORRELATIONWORKSPACE_H

#include <atomic>
#include <string>

#include "correlation/fftw-2d.h"
#include "peaks/FitPeak2SubPixel.h"
#include "peaks/PeakCandidates.h"
#include "support/CArray.h"
#include "support/Console.h"

namespace tarvex {

class CorrelationWorkspace {
 public:
  CorrelationWorkspace() = default;
  CorrelationWorkspace(const CorrelationWorkspace&) = delete;
  CorrelationWorkspace& operator=(const CorrelationWorkspace&) = delete;

  // The workspace of the calling thread, for measurements made outside a grid pass.
  static CorrelationWorkspace& ForThisThread();

  // Room for a correlation of ny rows of nx values (transform arrays and the float plane
  // cc); false when memory cannot be obtained.
  bool PrepareCorrelation(int nx, int ny);
  // Room for the peak search and the fits on such a plane (cc, fcc, peaks, fit).
  bool PreparePeakSearch(int nx, int ny);

  // Messages of a measurement: printed on the console as they come, or, while a log is
  // set, appended to it so that a parallel pass can print them in grid order.
  void Print(const char* text);
  void DeferMessagesTo(std::string* log) { log_ = log; }
  // The console (standard output unless set); borrowed.
  void SetConsole(Console* console) { console_ = console; }
  // A flag (borrowed; null: none) that, once set, makes every following measurement of this
  // worker stop before it starts, so that a cancelled analysis ends within one point.
  void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }

  RealCCWork transforms;              // fI1, fI2, fft1, fft2, S12
  CArray<fftw_real> shiftRows;        // the shift in double, for planes of other element types
  CArray<fftw_real> shifted;
  CArray<float> cc, fcc;              // the plane as fitted and as searched and blanked
  PeakCandidates peaks;               // the search's candidates on fcc
  GaussianFitWork fit;                // neighbourhood copy, fit points, SVD arrays
  PlanWithOwnWork forward, inverse;   // the table plans with this worker's scratch

 private:
  std::string* log_ = nullptr;
  Console* console_ = &StandardOutput();
  const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace tarvex

#endif
