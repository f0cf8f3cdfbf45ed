#include "SeriesPlan.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace {

// The image-pair file name up to its first '.', or the whole name when it has none.
void SeriesName(const char* filename, char* series) {
  const char* dot = std::strchr(filename, '.');
  const size_t n = dot ? static_cast<size_t>(dot - filename) : std::strlen(filename);
  std::memcpy(series, filename, n);
  series[n] = '\0';
}

// Formats the names of the pair whose first image is i (series mode) or of the single
// pair; false when a name does not fit its buffer.
bool MakeOutputNames(const TarvexSettings& s, const char* series, bool seriesMode, int i,
                     OutputNames& names) {
  int tl, dl;
  if (seriesMode) {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.%04d.plt", s.sname, i);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.%04d.dpiv", series, i);
  } else {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.plt", s.sname);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.dpiv", series);
  }
  const bool tecplotFits = !(s.pflag & PFLAG_TECPLOT) || (tl >= 0 && tl < kNameLength);
  return tecplotFits && dl >= 0 && dl < kNameLength;
}

bool Exists(const char* name) {
  struct stat st;
  return stat(name, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool PlanRun(const TarvexSettings& s, int numberImages, std::vector<PairJob>& jobs) {
  char series[kNameLength];
  SeriesName(s.filename, series);
  const bool seriesMode = (s.pflag & PFLAG_SERIES) != 0;
  jobs.clear();
  if (seriesMode) {
    // Wide arithmetic: a large stride must end the loop, not wrap around.
    for (long long i = s.start; i + s.inc <= numberImages; i += s.stride)
      jobs.push_back({static_cast<int>(i), static_cast<int>(i + s.inc), {}});
  } else {
    jobs.push_back({0, 0, {}});
  }
  for (PairJob& job : jobs) {
    if (!MakeOutputNames(s, series, seriesMode, job.first, job.names)) {
      std::fprintf(stderr, "tarvex: an output file name would be longer than %d characters\n",
                   kNameLength - 1);
      return false;
    }
  }
  return true;
}

bool PairWritten(const TarvexSettings& s, const PairJob& job) {
  return Exists(job.names.dpiv) && (!(s.pflag & PFLAG_TECPLOT) || Exists(job.names.tecplot));
}
