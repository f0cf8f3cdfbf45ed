// Helpers shared by the tests: a fresh temporary directory per test, running the built
// programs with given standard input, and writing small image files.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with its contents
// when the object goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct RunResult {
  int status = -1;      // exit status, or -1 when the program did not exit normally
  std::string out;      // standard output
  std::string err;      // standard error
};

// The banner tarvex prints first on every run, as the users see it.
extern const std::string kTarvexBanner;

// Path of a program built into build/bin.
std::string BinPath(const std::string& program);

// Runs program (from build/bin) with args in directory dir, feeding stdin_text on
// standard input (closed afterwards), and collects its output and exit status.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir, const std::string& stdin_text = "");

// Runs program (from build/bin) with args in directory dir, its standard error on a new
// terminal and its standard output into dir/out.txt; returns what the terminal received.
std::string RunWithTerminalStandardError(const std::string& program, const std::vector<std::string>& args,
                                         const std::string& dir);

// pivcompare's figures for p.dpiv in dir against the truth file p.b16.truth there, referred to
// `reference` ("midpoint" or "first"; empty: pivcompare's default). A run that fails or
// prints something else fails the calling test.
struct TruthScore {
  int valid = 0, points = 0;
  double rms = 0, biasU = 0, biasV = 0, outliers = 0;
};
TruthScore CompareWithTruth(const TempDir& dir, const std::string& reference = "");

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// One record of a DPIV file: flag, position, displacement and correlation peak value.
struct DPIVRecord {
  int flag;
  double x, y, u, v, rho;
};

// The records of a DPIV file, its '#' comment lines skipped.
std::vector<DPIVRecord> ReadDPIVFile(const std::string& path);

// Writes an image-pair file: little-endian width and height, then the images in order.
void WriteImagePairFile(const std::string& path, int width, int height,
                        const std::vector<std::vector<uint16_t>>& images);

#endif
