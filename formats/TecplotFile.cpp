#include "TecplotFile.h"

#include <cstdio>

const char* const kDefaultTecplotName = "TARVEX-Vel.plt";

WriteStatus WriteTecplotFile(const char* fname, int nx, int ny,
                             const std::vector<VectorRecord>& records) {
  FILE* f = std::fopen(fname ? fname : kDefaultTecplotName, "w");
  if (!f) return WriteStatus::CannotOpen;
  bool written =
      (fname ? std::fprintf(f, "TITLE=\"TARVEX-Velocity File: %s\"\n", fname)
             : std::fprintf(f, "TITLE= \"TARVEX-Velocity File: %s\"\n", kDefaultTecplotName)) > 0;
  written = written && std::fprintf(f, "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n") > 0;
  written = written && std::fprintf(f, "ZONE F = POINT, I=          %d, J=          %d\n", nx, ny) > 0;
  for (size_t k = 0; written && k < records.size(); k++) {
    const VectorRecord& r = records[k];
    written = std::fprintf(f, "%f %f %e %e\n", r.x, r.y, r.u, r.v) > 0;
  }
  written = (std::fclose(f) == 0) && written;
  return written ? WriteStatus::Ok : WriteStatus::WriteFailed;
}
