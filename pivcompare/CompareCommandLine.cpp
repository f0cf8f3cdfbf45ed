#include "CompareCommandLine.h"

#include <cstring>

CompareCommand ParseCompareCommandLine(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
    return CompareCommand::Help;
  return argc == 3 ? CompareCommand::Compare : CompareCommand::UsageError;
}

const char* CompareUsage() {
  return "Usage: pivcompare FIELD.dpiv IMAGES.truth\n"
         "Compares the valid vectors of a DPIV file with the true displacement field that\n"
         "pivsynth recorded in IMAGES.truth, evaluated at each window's centre, and prints:\n"
         "  valid N of M, rms error, bias (mean error in x and y) and the fraction of\n"
         "  outliers (error above 0.5 px), all in pixels.\n";
}
