#include "PairOutputs.h"

#include <sys/stat.h>

#include "DpivFile.h"
#include "FieldNetcdf.h"
#include "TecplotFile.h"

namespace tarvex {

namespace {

struct PairOutputKind {
  bool (*wanted)(const TarvexSettings& s);
  char (OutputNames::*name)[kNameLength];
  bool (*finished)(const std::string& path, int nx, int ny);
};

const PairOutputKind kPairOutputs[] = {
    {[](const TarvexSettings& s) { return (s.pflag & PFLAG_TECPLOT) != 0; }, &OutputNames::tecplot,
     TecplotFileHolds},
    {[](const TarvexSettings&) { return true; }, &OutputNames::dpiv, DpivFileHolds},
    {[](const TarvexSettings& s) { return s.netcdf; }, &OutputNames::netcdf, FieldFileHolds},
};

// A regular file, modified no earlier than `since` when that is given.
bool WrittenSince(const char* name, const timespec* since) {
  struct stat st;
  if (stat(name, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (since == nullptr) return true;
  return st.st_mtim.tv_sec > since->tv_sec ||
         (st.st_mtim.tv_sec == since->tv_sec && st.st_mtim.tv_nsec >= since->tv_nsec);
}

}  // namespace

void PairOutputFiles(const TarvexSettings& s, const PairJob& job, std::vector<const char*>& names) {
  names.clear();
  for (const PairOutputKind& kind : kPairOutputs)
    if (kind.wanted(s)) names.push_back(job.names.*kind.name);
}

bool PairFinished(const TarvexSettings& s, const PairJob& job, int nx, int ny, const timespec* since) {
  for (const PairOutputKind& kind : kPairOutputs) {
    if (!kind.wanted(s)) continue;
    const char* name = job.names.*kind.name;
    if (!WrittenSince(name, since) || !kind.finished(name, nx, ny)) return false;
  }
  return true;
}

}  // namespace tarvex
