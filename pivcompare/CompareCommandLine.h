// The command line of pivcompare, apart from its program so that it can be tried on any
// arguments.
//
// Worked example: "pivcompare run.dpiv run.b16.truth" compares with the midpoint reference
// and 0.5 px outliers; "pivcompare --reference first --outlier=0.25 run.dpiv run.b16.truth"
// with the first-image reference and 0.25 px; "pivcompare --help" (or "-h") asks for the
// usage text; "pivcompare run.dpiv" and "pivcompare --reference start a b" are usage errors,
// the second with the message "--reference: 'start' is not one of midpoint, first".
#ifndef PIVCOMPARE_COMPARECOMMANDLINE_H
#define PIVCOMPARE_COMPARECOMMANDLINE_H

#include <string>

#include "TruthReference.h"

enum class CompareCommand { Compare, Help, UsageError };

struct CompareSettings {
  ReferencePoint reference = ReferencePoint::Midpoint;
  double outlierLimit = 0.5;  // an error above this many pixels makes a vector an outlier
  std::string dpivPath, truthPath;
};

// argc and argv are main's. With Compare the settings are filled in; with UsageError,
// error says what is wrong (empty when only the number of files is).
CompareCommand ParseCompareCommandLine(int argc, char** argv, CompareSettings& settings, std::string& error);

const char* CompareUsage();

#endif
