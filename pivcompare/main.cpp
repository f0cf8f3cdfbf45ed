// pivcompare: compares a DPIV file written by tarvex with the truth file pivsynth wrote
// for its images, and prints the error statistics of the valid vectors.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "CompareCommandLine.h"
#include "DpivFile.h"
#include "TruthFile.h"

namespace {

// An error above this many pixels makes a vector an outlier.
constexpr double kOutlierLimit = 0.5;

}  // namespace

int main(int argc, char** argv) {
  switch (ParseCompareCommandLine(argc, argv)) {
    case CompareCommand::Help:
      std::fputs(CompareUsage(), stdout);
      return 0;
    case CompareCommand::UsageError:
      std::fputs(CompareUsage(), stderr);
      return 1;
    case CompareCommand::Compare:
      break;
  }
  std::string error;
  VectorField field;
  TruthRecord truth;
  if (!ReadDpivFile(argv[1], field, error) || !ReadTruthFile(argv[2], truth, error)) {
    std::fprintf(stderr, "pivcompare: %s\n", error.c_str());
    return 1;
  }

  int valid = 0, outliers = 0;
  double sumU = 0, sumV = 0, sumSq = 0;
  for (const VectorRecord& p : field.vectors) {
    if (!p.valid) continue;
    // A window of even width placed at x covers columns x - w/2 + 1 .. x + w/2: its
    // centre lies half a pixel beyond x.
    const Displacement d = DisplacementAt(truth.field, p.x + 0.5, p.y + 0.5);
    const double eu = p.u - d.dx, ev = p.v - d.dy;
    sumU += eu;
    sumV += ev;
    sumSq += eu * eu + ev * ev;
    if (std::hypot(eu, ev) > kOutlierLimit) ++outliers;
    ++valid;
  }
  const int n = static_cast<int>(field.vectors.size());
  if (valid == 0) {
    std::printf("valid 0 of %d\n", n);
    return 0;
  }
  std::printf("valid %d of %d  rms %.4f px  bias (%+.4f, %+.4f) px  outliers %.1f %%\n", valid, n,
              std::sqrt(sumSq / valid), sumU / valid, sumV / valid, 100.0 * outliers / valid);
  return 0;
}
