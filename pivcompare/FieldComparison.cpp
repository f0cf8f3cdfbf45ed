#include "FieldComparison.h"

#include <cmath>
#include <cstdio>

ComparisonSummary CompareWithTruth(const VectorField& field, const TruthRecord& truth, ReferencePoint reference,
                                   double outlierLimit) {
  ComparisonSummary s;
  s.points = static_cast<int>(field.vectors.size());
  for (const VectorRecord& p : field.vectors) {
    if (!p.valid) continue;
    Displacement d;
    if (!ReferredDisplacement(truth.field, truth.scheme, reference, p.x + 0.5, p.y + 0.5, d)) {
      ++s.unscored;
      continue;
    }
    const double eu = p.u - d.dx, ev = p.v - d.dy;
    s.sumU += eu;
    s.sumV += ev;
    s.sumSquares += eu * eu + ev * ev;
    if (std::hypot(eu, ev) > outlierLimit) ++s.outliers;
    ++s.valid;
  }
  return s;
}

std::string SummaryLine(const ComparisonSummary& s) {
  char line[200];
  if (s.valid == 0) {
    std::snprintf(line, sizeof line, "valid 0 of %d\n", s.points);
  } else {
    std::snprintf(line, sizeof line, "valid %d of %d  rms %.4f px  bias (%+.4f, %+.4f) px  outliers %.1f %%\n",
                  s.valid, s.points, std::sqrt(s.sumSquares / s.valid), s.sumU / s.valid, s.sumV / s.valid,
                  100.0 * s.outliers / s.valid);
  }
  return line;
}
