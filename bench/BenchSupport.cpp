#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DefineFFTWPlans.h"

void Quietly(const std::function<void()>& f) {
  std::fflush(stdout);
  const int saved = dup(1);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  f();
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(devnull);
}

FFTWplan* BenchPlanTable() {
  static FFTWplan* table = [] {
    char pattern[] = "/tmp/tarvex-bench-plans-XXXXXX";
    char previous[4096];
    if (mkdtemp(pattern) == nullptr || getcwd(previous, sizeof previous) == nullptr ||
        chdir(pattern) != 0)
      abort();
    FFTWplan* plans = nullptr;
    Quietly([&] { DefineFFTWPlans(&plans, 0, 1); });
    unlink(kWisdomFileName);
    if (chdir(previous) != 0 || plans == nullptr) abort();
    rmdir(pattern);
    return plans;
  }();
  return table;
}
