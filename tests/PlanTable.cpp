#include "PlanTable.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "TestSupport.h"
#include "correlation/DefineFFTWPlans.h"

namespace tarvex {

FFTWplan* Plans() {
  static FFTWplan* table = [] {
    TempDir dir;
    char previous[4096];
    if (getcwd(previous, sizeof previous) == nullptr || chdir(dir.path().c_str()) != 0) abort();
    FFTWplan* made = nullptr;
    testing::internal::CaptureStdout();
    DefineFFTWPlans(&made, 0, 1);
    fflush(stdout);
    testing::internal::GetCapturedStdout();
    if (chdir(previous) != 0 || made == nullptr) abort();
    return made;
  }();
  return table;
}

}  // namespace tarvex
