#include "FieldResult.h"

#include <cmath>
#include <utility>

#include "FileError.h"
#include "TecplotFile.h"

namespace tarvex {

namespace {

// The writers leave nothing under the name on failure; the reason names the file.
void Check(WriteStatus status, const std::string& error) {
  if (status != WriteStatus::Ok) throw FileError(error);
}

}  // namespace

FieldResult::FieldResult(std::vector<VectorRecord> records, int nx, int ny, int windowWidth, int windowHeight,
                         bool smoothed, std::string log)
    : records_(std::move(records)),
      nx_(nx),
      ny_(ny),
      windowWidth_(windowWidth),
      windowHeight_(windowHeight),
      smoothed_(smoothed),
      log_(std::move(log)) {}

FieldResult FieldResult::FromDpivFile(const std::string& path) {
  VectorField field;
  std::string error;
  if (!ReadDpivFile(path, field, error)) throw FileError(error);
  const VectorRecord& first = field.vectors.front();
  const int windowWidth = 2 * (static_cast<int>(std::lround(first.x)) + 1);
  const int windowHeight = 2 * (static_cast<int>(std::lround(first.y)) + 1);
  return FieldResult(std::move(field.vectors), field.nx, field.ny, windowWidth, windowHeight, false, "");
}

void FieldResult::SetUncertainties(std::vector<float> sigmaU, std::vector<float> sigmaV) {
  sigmaU_ = std::move(sigmaU);
  sigmaV_ = std::move(sigmaV);
}

int FieldResult::ValidCount() const {
  int valid = 0;
  for (const VectorRecord& r : records_) valid += r.valid ? 1 : 0;
  return valid;
}

void FieldResult::WriteDpiv(const std::string& path) const {
  std::string error;
  Check(WriteDpivFile(path.c_str(), records_, error), error);
}

void FieldResult::WriteTecplot(const std::string& path, bool keepRejected) const {
  std::vector<VectorRecord> records = records_;
  if (!keepRejected)
    for (VectorRecord& r : records)
      if (!r.valid) r.u = r.v = 0.0;
  std::string error;
  Check(WriteTecplotFile(path.c_str(), nx_, ny_, records, error), error);
}

}  // namespace tarvex
