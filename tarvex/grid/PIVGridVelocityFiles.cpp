// PIVGrid: the Tecplot point file and the DPIV column file of the velocity field.
#include <string>
#include <utility>
#include <vector>

#include "DpivFile.h"
#include "TecplotFile.h"
#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

// Reports a file that cannot be created as "\n Cannot open <kind> output file: <name> ....\n\n".
Status Report(WriteStatus status, std::string& error, const char* fname, const char* defaultName,
              const char* kind, Console& console) {
  if (status == WriteStatus::CannotOpen)
    console.Printf("\n Cannot open %s output file: %s ....\n\n", kind, fname ? fname : defaultName);
  return status == WriteStatus::Ok ? Status() : Status::Failure(std::move(error));
}

}  // namespace

Status WriteTecplotRecords(const char* fname, int nx, int ny, const std::vector<VectorRecord>& records,
                           Console& console) {
  std::string error;
  const WriteStatus written = WriteTecplotFile(fname, nx, ny, records, error);
  return Report(written, error, fname, kDefaultTecplotName, "TecPlot", console);
}

Status WriteDpivRecords(const char* fname, const std::vector<VectorRecord>& records, Console& console) {
  std::string error;
  const WriteStatus written = WriteDpivFile(fname, records, error);
  return Report(written, error, fname, kDefaultDpivName, "DPIV", console);
}

std::vector<VectorRecord> PIVGrid::VectorRecords(bool all) const {
  std::vector<VectorRecord> records;
  VectorRecords(all, records);
  return records;
}

void PIVGrid::VectorRecords(bool all, std::vector<VectorRecord>& records) const {
  records.clear();
  const int n = NumberOfPoints();
  records.reserve(static_cast<size_t>(n));
  for (int k = 0; k < n; k++) {
    const PIVPoint& p = pivgrid[k];
    const bool carries = p.on() || all;
    // A point without a measurement has no peak: its value is the search's placeholder.
    records.push_back({p.on() != 0, p.X(), p.Y(), carries ? Vx[k] : 0.0f, carries ? Vy[k] : 0.0f,
                       p.HasMeasurement() ? p.Rho() : 0.0f});
  }
}

bool PIVGrid::WriteTecPlotVelocityFile(const char* fname, int all) {
  const Status written = WriteTecplotRecords(fname, nx, ny, VectorRecords(all != 0), *console);
  writeError = written.message();
  return written.ok();
}

bool PIVGrid::WriteBasicDPIVFile(const char* fname) {
  const Status written = WriteDpivRecords(fname, VectorRecords(true), *console);
  writeError = written.message();
  return written.ok();
}

}  // namespace tarvex
