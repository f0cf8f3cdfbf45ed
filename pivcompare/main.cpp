// pivcompare: compares a DPIV file written by tarvex with the truth file pivsynth wrote
// for its images, and prints the error statistics of the valid vectors.
#include <cstdio>
#include <string>

#include "CompareCommandLine.h"
#include "DpivFile.h"
#include "FieldComparison.h"
#include "TruthFile.h"

int main(int argc, char** argv) {
  CompareSettings settings;
  std::string error;
  switch (ParseCompareCommandLine(argc, argv, settings, error)) {
    case CompareCommand::Help:
      std::fputs(CompareUsage(), stdout);
      return 0;
    case CompareCommand::UsageError:
      if (!error.empty()) std::fprintf(stderr, "pivcompare: %s\n", error.c_str());
      std::fputs(CompareUsage(), stderr);
      return 1;
    case CompareCommand::Compare:
      break;
  }
  VectorField field;
  TruthRecord truth;
  if (!ReadDpivFile(settings.dpivPath, field, error) || !ReadTruthFile(settings.truthPath, truth, error)) {
    std::fprintf(stderr, "pivcompare: %s\n", error.c_str());
    return 1;
  }
  const ComparisonSummary summary = CompareWithTruth(field, truth, settings.reference, settings.outlierLimit);
  std::fputs(SummaryLine(summary).c_str(), stdout);
  if (summary.unscored > 0)
    std::fprintf(stderr,
                 "pivcompare: %d valid vector%s left out: the %s-referred truth did not converge at %s window "
                 "centre%s\n",
                 summary.unscored, summary.unscored == 1 ? "" : "s", ReferencePointName(settings.reference),
                 summary.unscored == 1 ? "its" : "their", summary.unscored == 1 ? "" : "s");
  return 0;
}
