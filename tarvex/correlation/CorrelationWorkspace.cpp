#include "correlation/CorrelationWorkspace.h"

namespace tarvex {

namespace {
size_t Cells(int nx, int ny) { return static_cast<size_t>(nx) * static_cast<size_t>(ny); }
}  // namespace

CorrelationWorkspace& CorrelationWorkspace::ForThisThread() {
  thread_local CorrelationWorkspace workspace;
  return workspace;
}

bool CorrelationWorkspace::PrepareCorrelation(int nx, int ny) {
  return transforms.Reserve(nx, ny) && cc.Reserve(Cells(nx, ny));
}

bool CorrelationWorkspace::PreparePeakSearch(int nx, int ny) {
  // A fit neighbourhood is capped at the plane's size.
  return cc.Reserve(Cells(nx, ny)) && fcc.Reserve(Cells(nx, ny)) && peaks.Reserve(nx, ny) &&
         fit.Reserve(nx * ny);
}

void CorrelationWorkspace::Print(const char* text) {
  if (log_ != nullptr)
    log_->append(text);
  else
    console_->Print(text);
}

}  // namespace tarvex
