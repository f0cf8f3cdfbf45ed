// pivcompare: compares a DPIV file written by tarvex with the truth file pivsynth wrote
// for its images, and prints the error statistics of the valid vectors.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "DpivFile.h"
#include "SynthOptions.h"

namespace {

const char* const kUsage =
    "Usage: pivcompare FIELD.dpiv IMAGES.truth\n"
    "Compares the valid vectors of a DPIV file with the true displacement field that\n"
    "pivsynth recorded in IMAGES.truth, evaluated at each window's centre, and prints:\n"
    "  valid N of M, rms error, bias (mean error in x and y) and the fraction of\n"
    "  outliers (error above 0.5 px), all in pixels.\n";

// An error above this many pixels makes a vector an outlier.
constexpr double kOutlierLimit = 0.5;

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  const size_t e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The truth file's "key = value" lines are pivsynth's own options: read them back
// through its option parser.
bool ReadTruth(const std::string& path, SynthOptions& options, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::vector<std::string> args;
  std::string line;
  while (std::getline(in, line)) {
    if (Trim(line).empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = path + ": not a \"key = value\" line: " + line;
      return false;
    }
    args.push_back("--" + Trim(line.substr(0, eq)) + "=" + Trim(line.substr(eq + 1)));
  }
  if (ParseOptions(args, options, error) != ParseOutcome::Run) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  std::string error;
  VectorField field;
  SynthOptions truth;
  if (!ReadDpivFile(argv[1], field, error) || !ReadTruth(argv[2], truth, error)) {
    std::fprintf(stderr, "pivcompare: %s\n", error.c_str());
    return 1;
  }

  int valid = 0, outliers = 0;
  double sumU = 0, sumV = 0, sumSq = 0;
  for (const PlotVector& p : field.vectors) {
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
