#include "FieldComparison.h"

#include <cmath>
#include <cstdio>
#include <vector>

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
  if (s.valid == 0) return "valid 0 of " + std::to_string(s.points) + "\n";
  const double rms = std::sqrt(s.sumSquares / s.valid), biasU = s.sumU / s.valid, biasV = s.sumV / s.valid;
  const double share = 100.0 * s.outliers / s.valid;
  // Sized to the text: a wild vector's error can run to hundreds of digits.
  const char* format = "valid %d of %d  rms %.4f px  bias (%+.4f, %+.4f) px  outliers %.1f %%\n";
  std::vector<char> line(
      static_cast<size_t>(std::snprintf(nullptr, 0, format, s.valid, s.points, rms, biasU, biasV, share)) + 1);
  std::snprintf(line.data(), line.size(), format, s.valid, s.points, rms, biasU, biasV, share);
  return line.data();
}
