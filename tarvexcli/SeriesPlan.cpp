#include "SeriesPlan.h"

#include <cstdio>
#include <cstring>

namespace tarvex {

namespace {

// Formats the names of the pair whose first image is i (series mode) or of the single
// pair; false when a name does not fit its buffer.
bool MakeOutputNames(const TarvexSettings& s, const std::string& series, bool seriesMode, int i,
                     OutputNames& names) {
  int tl, dl, nl;
  if (seriesMode) {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.%04d.plt", s.sname, i);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.%04d.dpiv", series.c_str(), i);
    nl = std::snprintf(names.netcdf, kNameLength, "%s.%04d.nc", series.c_str(), i);
  } else {
    tl = std::snprintf(names.tecplot, kNameLength, "%s.plt", s.sname);
    dl = std::snprintf(names.dpiv, kNameLength, "%s.dpiv", series.c_str());
    nl = std::snprintf(names.netcdf, kNameLength, "%s.nc", series.c_str());
  }
  const bool tecplotFits = !(s.pflag & PFLAG_TECPLOT) || (tl >= 0 && tl < kNameLength);
  const bool netcdfFits = !s.netcdf || (nl >= 0 && nl < kNameLength);
  return tecplotFits && netcdfFits && dl >= 0 && dl < kNameLength;
}

}  // namespace

std::string SeriesName(const char* filename) {
  const char* slash = std::strrchr(filename, '/');
  const char* base = slash != nullptr ? slash + 1 : filename;
  const char* dot = std::strchr(filename, '.');
  if (dot != nullptr && dot < base) dot = std::strchr(base, '.');
  return dot != nullptr ? std::string(filename, static_cast<size_t>(dot - filename)) : std::string(filename);
}

std::string RunRecordName(const TarvexSettings& s) { return SeriesName(s.filename) + ".series.txt"; }

bool PlanRun(const TarvexSettings& s, int numberImages, std::vector<PairJob>& jobs, std::string& error) {
  const std::string series = SeriesName(s.filename);
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
      error = "an output file name would be longer than " + std::to_string(kNameLength - 1) + " characters";
      return false;
    }
  }
  return true;
}

}  // namespace tarvex
