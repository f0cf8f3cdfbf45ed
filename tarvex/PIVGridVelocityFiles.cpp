// PIVGrid: the Tecplot point file and the DPIV column file of the velocity field.
#include <cstdio>

#include "PIVGrid.h"

namespace {

const char* const kDefaultTecplotName = "TARVEX-Vel.plt";
const char* const kDefaultDPIVName = "TARVEX-Vel.dpiv";
const char* const kHashLine =
    "###############################################################################\n";

// Opens fname (or the default name for a null one) for writing; on failure prints
// "\n Cannot open <kind> output file: <name> ....\n\n" and returns null.
FILE* OpenOutputFile(const char* fname, const char* defaultName, const char* kind) {
  const char* name = fname ? fname : defaultName;
  FILE* f = std::fopen(name, "w");
  if (!f) std::printf("\n Cannot open %s output file: %s ....\n\n", kind, name);
  return f;
}

}  // namespace

bool PIVGrid::WriteTecPlotVelocityFile(const char* fname, int all) {
  FILE* f = OpenOutputFile(fname, kDefaultTecplotName, "TecPlot");
  if (!f) return false;
  if (fname)
    std::fprintf(f, "TITLE=\"TARVEX-Velocity File: %s\"\n", fname);
  else
    std::fprintf(f, "TITLE= \"TARVEX-Velocity File: %s\"\n", kDefaultTecplotName);
  std::fprintf(f, "VARIABLES=\"X\" \"Y\" \"U\" \"V\"\n");
  std::fprintf(f, "ZONE F = POINT, I=          %d, J=          %d\n", nx, ny);
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      const int k = i * nx + j;
      const PIVPoint& p = pivgrid[k];
      const bool carries = p.on() || all;
      std::fprintf(f, "%f %f %e %e\n", p.X(), p.Y(), carries ? Vx[k] : 0.0f,
                   carries ? Vy[k] : 0.0f);
    }
  }
  std::fclose(f);
  return true;
}

bool PIVGrid::WriteBasicDPIVFile(const char* fname) {
  FILE* f = OpenOutputFile(fname, kDefaultDPIVName, "DPIV");
  if (!f) return false;
  std::fputs(kHashLine, f);
  std::fprintf(f, "#  TITLE = TARVEX-Velocity File: %s\n", fname ? fname : kDefaultDPIVName);
  std::fputs("# \n", f);
  std::fputs("#  Data Structure:\n", f);
  std::fputs("#\tColumn 1: 0 data has been rejected; 1 data has been accepted.\n", f);
  std::fputs("#\tColumn 2: x-position of data point\n", f);
  std::fputs("#\tColumn 3: y-position of data point\n", f);
  std::fputs("#\tColumn 4: x-velocity component of data point\n", f);
  std::fputs("#\tColumn 5: y-velocity component of data point\n", f);
  std::fputs("#\tColumn 6: CC function value corresponding to data point\n", f);
  std::fputs("# \n", f);
  std::fputs(kHashLine, f);
  for (int i = 0; i < ny; i++) {
    for (int j = 0; j < nx; j++) {
      const int k = i * nx + j;
      const PIVPoint& p = pivgrid[k];
      std::fprintf(f, "%1d\t%1.6e\t%1.6e\t%e\t%e\t%1.3f\n", p.on(), p.X(), p.Y(), Vx[k], Vy[k],
                   p.Rho());
    }
  }
  std::fclose(f);
  return true;
}
