#include "CompareCommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "LongOption.h"

namespace {

bool Outlier(const std::string& text, double& limit) {
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(v) || v <= 0.0) return false;
  limit = v;
  return true;
}

}  // namespace

CompareCommand ParseCompareCommandLine(int argc, char** argv, CompareSettings& settings, std::string& error) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return CompareCommand::Help;
  std::vector<std::string> files;
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg.compare(0, 2, "--") != 0) {
      files.push_back(arg);
      continue;
    }
    std::string name, value;
    if (!SplitLongOption(args, k, name, value, error)) return CompareCommand::UsageError;
    if (name == "--reference") {
      if (ParseReferencePoint(value, settings.reference)) continue;
      error = "--reference: '" + value + "' is not one of midpoint, first";
    } else if (name == "--outlier") {
      if (Outlier(value, settings.outlierLimit)) continue;
      error = "--outlier: '" + value + "' is not a number of pixels above 0";
    } else {
      error = "unknown option '" + name + "'";
    }
    return CompareCommand::UsageError;
  }
  if (files.size() != 2) return CompareCommand::UsageError;
  settings.dpivPath = files[0];
  settings.truthPath = files[1];
  return CompareCommand::Compare;
}

const char* CompareUsage() {
  return "Usage: pivcompare [--reference midpoint|first] [--outlier PX] FIELD.dpiv IMAGES.truth\n"
         "Compares the valid vectors of a DPIV file with the true displacement field that\n"
         "pivsynth recorded in IMAGES.truth, evaluated at each window's centre q (the DPIV\n"
         "position + 0.5), and prints:\n"
         "  valid N of M, rms error, bias (mean error in x and y) and the fraction of\n"
         "  outliers (error above PX), all in pixels.\n"
         "\n"
         "Options (defaults in brackets):\n"
         "  --reference midpoint|first\n"
         "                  the particle a vector is compared with: the one whose path has\n"
         "                  its midpoint at q (central differences), or the one that starts\n"
         "                  at q in the first image [midpoint]\n"
         "  --outlier PX    the error above which a vector is an outlier, in pixels [0.5]\n"
         "  --help          show this text and exit\n"
         "\n"
         "Where the truth is given at the other point (pivsynth --scheme), the reference is\n"
         "found by fixed-point steps along the particle's path; a vector where they do not\n"
         "converge is left out and counted on standard error.\n";
}
