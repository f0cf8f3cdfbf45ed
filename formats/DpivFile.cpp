#include "DpivFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "AtomicFile.h"
#include "DpivRecords.h"
#include "ImagePairFile.h"  // kMaxImageSide
#include "TextInput.h"

const char* const kDefaultDpivName = "TARVEX-Vel.dpiv";

WriteStatus CommitVelocityFile(AtomicFile& file, bool written, std::string& error) {
  if (!written) file.Failed();
  if (file.Commit()) return WriteStatus::Ok;
  error = file.Error();
  return WriteStatus::WriteFailed;
}

namespace {

const char* const kHashLine =
    "###############################################################################\n";

// The comment lines of the file's head; with the title line there are kDpivHeaderLines.
const char* const kDpivHeadAfterTitle[] = {
    "# \n",
    "#  Data Structure:\n",
    "#\tColumn 1: 0 data has been rejected; 1 data has been accepted.\n",
    "#\tColumn 2: x-position of data point\n",
    "#\tColumn 3: y-position of data point\n",
    "#\tColumn 4: x-velocity component of data point\n",
    "#\tColumn 5: y-velocity component of data point\n",
    "#\tColumn 6: CC function value corresponding to data point\n",
    "# \n",
    kHashLine,
};
static_assert(2 + sizeof kDpivHeadAfterTitle / sizeof kDpivHeadAfterTitle[0] == kDpivHeaderLines,
              "the head of a DPIV file has kDpivHeaderLines lines");

constexpr double kPositionTolerance = 1e-3;

std::vector<double> Distinct(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

// The common step of sorted positions (0 for a single one); false when not uniform.
bool UniformStep(const std::vector<double>& positions, double& step) {
  step = positions.size() > 1 ? positions[1] - positions[0] : 0;
  for (size_t i = 1; i < positions.size(); i++)
    if (std::fabs(positions[i] - positions[i - 1] - step) > kPositionTolerance) return false;
  return true;
}

// Checks that the vectors form a regular grid in grid order and records its geometry.
bool FindGrid(VectorField& field, std::string& error) {
  std::vector<double> xs, ys;
  for (const VectorRecord& v : field.vectors) {
    xs.push_back(v.x);
    ys.push_back(v.y);
  }
  xs = Distinct(xs);
  ys = Distinct(ys);
  if (xs.front() < 0 || ys.front() < 0 || xs.back() >= kMaxImageSide || ys.back() >= kMaxImageSide) {
    error = "a vector lies outside every image of up to " + std::to_string(kMaxImageSide) + " x " +
            std::to_string(kMaxImageSide) + " px";
    return false;
  }
  bool grid = xs.size() * ys.size() == field.vectors.size() && UniformStep(xs, field.delx) &&
              UniformStep(ys, field.dely);
  for (size_t k = 0; grid && k < field.vectors.size(); k++)
    grid = field.vectors[k].x == xs[k % xs.size()] && field.vectors[k].y == ys[k / xs.size()];
  if (!grid) {
    error = "the vectors do not lie on a regular grid in row order";
    return false;
  }
  field.nx = static_cast<int>(xs.size());
  field.ny = static_cast<int>(ys.size());
  field.x0 = xs.front();
  field.y0 = ys.front();
  return true;
}

}  // namespace

double VectorField::Spacing() const {
  if (delx > 0 && dely > 0) return std::min(delx, dely);
  if (delx > 0) return delx;
  if (dely > 0) return dely;
  return 2 * (x0 + 1);
}

WriteStatus WriteDpivFile(const char* fname, const std::vector<VectorRecord>& records,
                          std::string& error) {
  const char* name = fname ? fname : kDefaultDpivName;
  AtomicFile file;
  if (!file.Open(name, false)) {
    error = file.Error();
    return WriteStatus::CannotOpen;
  }
  FILE* f = file.Stream();
  bool written = std::fputs(kHashLine, f) >= 0 &&
                 std::fprintf(f, "#  TITLE = TARVEX-Velocity File: %s\n", name) > 0;
  for (const char* line : kDpivHeadAfterTitle) written = written && std::fputs(line, f) >= 0;
  for (size_t k = 0; written && k < records.size(); k++) {
    const VectorRecord& r = records[k];
    written = std::fprintf(f, "%1d\t%1.6e\t%1.6e\t%e\t%e\t%1.3f\n", r.valid ? 1 : 0, r.x, r.y, r.u,
                           r.v, r.peak) > 0;
  }
  return CommitVelocityFile(file, written, error);
}

bool DpivFileHolds(const std::string& path, int nx, int ny) {
  std::string text, error;
  if (!ReadDpivText(path, text, error)) return false;
  const char* p = text.c_str();
  const char* const end = p + text.size();
  // Each line whole, up to its '\n': the head's comment lines, then the records.
  const auto nextLine = [&](const char*& line, const char*& lineEnd) {
    line = p;
    lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
    if (lineEnd == nullptr) return false;
    p = lineEnd + 1;
    return true;
  };
  const char *line = nullptr, *lineEnd = nullptr;
  for (int k = 0; k < kDpivHeaderLines; k++)
    if (!nextLine(line, lineEnd) || line == lineEnd || *line != '#') return false;
  const long long records = static_cast<long long>(nx) * ny;
  VectorRecord vector;
  for (long long k = 0; k < records; k++)
    if (!nextLine(line, lineEnd) || !ScanDpivRecord(line, lineEnd, vector)) return false;
  return p == end;
}

bool ReadDpivFile(const std::string& path, VectorField& field, std::string& error) {
  {
    // An empty file and a directory get reasons of their own.
    std::ifstream in(path, std::ios::binary);
    if (in && !UsableTextInput(path, in, "DPIV file", error)) return false;
  }
  field = VectorField();
  std::string buffer;
  if (!ReadDpivRecords(path, buffer, field.vectors, error)) return false;
  if (!FindGrid(field, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}
