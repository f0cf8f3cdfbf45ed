// The ASCII PIV file: a self-describing text file with a header, one field block per grid
// and one multi-line record per interrogation point, every value line named by a comment.
#include <sys/utsname.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "grid/PIVGrid.h"

namespace tarvex {

namespace {

const char kHashLine[] =
    "#####################################################################################"
    "################\n";
static_assert(sizeof(kHashLine) == 101 + 2, "the separator line holds 101 '#' and a newline");

// Copies text into a fixed array, cut to fit, always NUL-terminated.
template <size_t N>
void CopyCut(char (&dst)[N], const char* src) {
  const size_t n = strnlen(src, N - 1);
  memcpy(dst, src, n);
  dst[n] = '\0';
}

// Length of a text field, never looking past its array even when the NUL is missing.
template <size_t N>
int FieldLength(const char (&field)[N]) {
  return static_cast<int>(strnlen(field, N));
}

}  // namespace

int putline(char* s, int lim, FILE* fin) {
  for (int i = 0; i < lim; i++) fputc(s[i], fin);
  fputc('\n', fin);
  return lim;
}

bool PIVGrid::WriteAsciiPIVFileHeader() {
  const PivFileHeader& h = pivfileheader;
  const std::string name(h.fname, static_cast<size_t>(FieldLength(h.fname)));
  fo = asciiFile.Open(name, false) ? asciiFile.Stream() : nullptr;
  if (fo == nullptr) {
    console->Print("\n\n Problem opening file for PIV output ....\n\n");
    return false;
  }
  fprintf(fo, "## ***PIV FILE HEADER***\n");
  fprintf(fo, "%4.2f \t\t\t## File version\n", 1.0);
  fprintf(fo, "%.*s \t\t## OS\n", FieldLength(h.OS), h.OS);
  fprintf(fo, "%.*s \t\t## Filename\n", FieldLength(h.fname), h.fname);
  fprintf(fo, "%.*s \t## File Generation Date\n", FieldLength(h.date), h.date);
  fprintf(fo, "%d \t\t\t## char Size of Following Data Description:\n", h.descr_size);
  if (h.descr_size > 0 && h.descr != nullptr) putline(h.descr, h.descr_size, fo);
  fprintf(fo, "%.*s \t\t\t## Length Unit\n", FieldLength(h.LengthUnits), h.LengthUnits);
  fprintf(fo, "%.*s \t\t\t## Time Unit\n", FieldLength(h.TimeUnits), h.TimeUnits);
  fprintf(fo, "%.*s \t\t## Data Type: cal = 1; uncal = 0\n", FieldLength(h.DataType), h.DataType);
  fprintf(fo, "%e \t\t## Length Calibration Factor length/px \n", h.CalLength);
  fprintf(fo, "%e \t\t## Time Between Exposures\n", h.dt);
  fprintf(fo, "%d \t\t\t## CCStored = 0; CCNotStored = 1\n", h.CCStored);
  fprintf(fo, "%d \t\t\t## Number of PIV Data Sets in File\n", h.nsets);
  fprintf(fo, "%d \t\t\t## Number of PIV Records/ Data Set\n", h.ndata);
  fputs(kHashLine, fo);
  return true;
}

bool PIVGrid::WriteAsciiPIVField() {
  fprintf(fo, "## ***PIV FIELD INFORMATION***:\n");
  fprintf(fo, "%d    \t\t\t\t## PIV Field ID\n", id);
  fprintf(fo, "%d %d \t\t\t\t## PIV Field Grid\n", nx, ny);
  fprintf(fo, "%d %d \t\t\t\t## x & y Offset From Lower Left Corner\n", Xoff, Yoff);
  fprintf(fo, "%d %d \t\t\t\t## Spacing Between PIV Data Points\n", DelX, DelY);
  fprintf(fo, "%d    \t\t\t\t## CC Peak Search Region, ALL = 0, etc.\n", static_cast<int>(SearchRegion));
  fprintf(fo, "%e %e \t## Offset Between 2 DPIV Images\n", DX, DY);
  fprintf(fo, "%d %d \t\t\t\t## FFT Size\n", fftx, ffty);
  fputs(kHashLine, fo);
  fprintf(fo, "## ***PIV DATA - %d RECORDS*** :\n", nx * ny);
  return WriteAsciiPIVRecords();
}

bool PIVGrid::WriteAsciiPIVRecords() {
  fprintf(fo, "### PIV GRID RECORDS %d:\n", id);
  for (int k = 0; k < nx * ny; k++) {
    PIVPoint& point = pivgrid[k];
    const TARVEXData* d = point.PIV();
    fprintf(fo, "%d    \t\t\t\t\t\t## PIV Measurement ID\n", point.id());
    fprintf(fo, "%d    \t\t\t\t\t\t## Valid/Non-valid PIV Switch\n", point.on());
    fprintf(fo, "%e %e \t\t\t## (x,y) Location of PIV Measurement\n", point.X(), point.Y());
    fprintf(fo, "%e %e \t\t\t## Offset Between 1st and 2nd DPIV Image\n", point.DX(), point.DY());
    fprintf(fo, "%d    \t\t\t\t\t\t## CC Peak Search Region, ALL = 0, etc.\n", d->SearchRegion);
    for (int n = 0; n < kNumberOfPeaks; n++)
      fprintf(fo, "%e\t%e\t%e \t## dx,dy,rho Measurements\n", d->dx[n], d->dy[n], d->rho[n]);
    fprintf(fo, "%d    \t\t\t\t\t\t## GradtInfo = 0 or 1 Indicates If duidxj Is Stored\n", d->GradtInfo);
    if (d->GradtInfo != 0)
      fprintf(fo, "%e\t%e\t%e\t%e \t\t\t\t\t## duidxj Data\n", d->DuiDxj.dudx, d->DuiDxj.dudy,
              d->DuiDxj.dvdx, d->DuiDxj.dvdy);
    // The plane is written only while the point holds it.
    const int ccsize = (d->CC != nullptr && d->memsize > 0) ? d->memsize : 0;
    fprintf(fo, "%d    \t\t\t\t\t\t## Size of CC array, if 0 CC not stored below:\n", ccsize);
    if (ccsize != 0) {
      fprintf(fo, "%d\n", d->CCtype);
      for (int m = 0; m < ccsize; m++) fprintf(fo, "%5.4e ", d->CC[m]);
    }
  }
  return true;
}

bool PIVGrid::WriteAsciiPIVFile(const char* fname, const char* descr, int descr_size) {
  if (fname == nullptr || descr_size < 0 || (descr_size > 0 && descr == nullptr)) {
    console->ErrorPrintf("\n\n Invalid name or description for the PIV output file ....\n\n");
    return false;
  }
  // The header's file-name field is also the name the file is created under: a name
  // that does not fit would be cut and the file written somewhere else.
  if (strlen(fname) >= sizeof pivfileheader.fname) {
    console->ErrorPrintf("\n\n PIV output file name longer than %zu characters ....\n\n",
            sizeof pivfileheader.fname - 1);
    return false;
  }
  const long records = static_cast<long>(nx) * ny;
  if (records > 65535) {
    console->ErrorPrintf("\n\n Too many PIV records for one PIV output file ....\n\n");
    return false;
  }

  PivFileHeader& h = pivfileheader;
  struct utsname sys;
  CopyCut(h.OS, uname(&sys) == 0 ? sys.sysname : "unknown");
  CopyCut(h.fname, fname);
  const time_t now = time(nullptr);
  struct tm today;
  if (localtime_r(&now, &today) == nullptr || strftime(h.date, sizeof h.date, "%Y-%m-%d", &today) == 0)
    CopyCut(h.date, "unknown");
  // The description is copied so that the header never points at the caller's buffer.
  std::vector<char> description(descr, descr + descr_size);
  h.descr_size = descr_size;
  h.descr = description.data();
  CopyCut(h.LengthUnits, "px");
  CopyCut(h.TimeUnits, "-");
  CopyCut(h.DataType, "uncal");
  h.CalLength = 1.0f;
  h.dt = 1.0f;
  h.CCStored = 1;
  for (int k = 0; k < records; k++)
    if (pivgrid[k].PIV()->CC != nullptr) h.CCStored = 0;
  h.nsets = 1;
  h.ndata = static_cast<unsigned short>(records);

  bool ok = WriteAsciiPIVFileHeader() && WriteAsciiPIVField();
  h.descr = nullptr;
  h.descr_size = 0;
  if (fo != nullptr) {
    // A full disk shows only here: a file cut short must not appear under its name.
    if (!ok) asciiFile.Failed();
    ok = asciiFile.Commit() && ok;
    fo = nullptr;
    if (!ok) console->ErrorPrintf("\n\n Problem writing the PIV output file ....\n\n");
  }
  return ok;
}

}  // namespace tarvex
