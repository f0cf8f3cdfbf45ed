// The error statistics of a measured field against pivsynth's truth: over the valid vectors,
// each compared at its window centre q (a window of even width placed at x covers columns
// x - w/2 + 1 .. x + w/2, so q = (x + 0.5, y + 0.5)) with the true displacement by the
// reference point (see TruthReference.h).
//
// Worked example: truth uniform (1.5, -0.5) and the valid vectors (1.6, -0.5), (1.2, -0.1),
// (1.5, -0.5) with one rejected one: errors (0.1, 0), (-0.3, 0.4), (0, 0), so rms =
// sqrt((0.01 + 0.25) / 3) = 0.2944, bias (-0.0667, +0.1333), and no outlier above 0.5 px
// (the second error is exactly 0.5). The line is
//   "valid 3 of 4  rms 0.2944 px  bias (-0.0667, +0.1333) px  outliers 0.0 %"
// With an outlier limit of 0.4 px it says "outliers 33.3 %".
#ifndef PIVCOMPARE_FIELDCOMPARISON_H
#define PIVCOMPARE_FIELDCOMPARISON_H

#include <string>

#include "DpivFile.h"
#include "TruthFile.h"

struct ComparisonSummary {
  int points = 0;    // vectors in the file
  int valid = 0;     // valid vectors scored
  int unscored = 0;  // valid vectors whose true displacement could not be found (not converged)
  int outliers = 0;
  double sumU = 0.0, sumV = 0.0, sumSquares = 0.0;  // of the errors
};

ComparisonSummary CompareWithTruth(const VectorField& field, const TruthRecord& truth, ReferencePoint reference,
                                   double outlierLimit);

// The one line pivcompare prints, with its newline.
std::string SummaryLine(const ComparisonSummary& summary);

#endif
