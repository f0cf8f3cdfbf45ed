#include "RunRecord.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "AtomicFile.h"
#include "SeriesPlan.h"

namespace tarvex {

namespace {

const char* const kFirstLine = "tarvex series record 1";

std::string Real(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// "off", or the value of a check that is on.
std::string Check(const TarvexSettings& s, unsigned char bit, const std::string& value) {
  return (s.cflag & bit) ? value : "off";
}

std::string Switch(bool on) { return on ? "on" : "off"; }

}  // namespace

std::string ResultOptionsText(const TarvexSettings& s) {
  std::ostringstream o;
  o << "-dft " << s.fftx << "x" << s.ffty << "\n"
    << "-gspac " << s.Delx << " " << s.Dely << "\n"
    << "-all " << s.start << " " << s.inc << " " << s.stride << "\n"
    << "-i " << Switch(s.pflag & PFLAG_ITERATE) << "\n"
    << "-MinRho " << Check(s, CFLAG_MINRHO, Real(s.MinRho)) << "\n"
    << "-MaxVelRat " << Check(s, CFLAG_MAXVEL, Real(s.MaxVelRatio)) << "\n"
    << "-GHcheck " << Check(s, CFLAG_GLOBALHIST, Real(s.C3)) << "\n"
    << "-MVOcheck " << Check(s, CFLAG_MEDIAN, Real(s.C4)) << "\n"
    << "-DMVOcheck " << Check(s, CFLAG_DYNMEAN, Real(s.C1) + " " + Real(s.C2)) << "\n"
    << "-s " << Switch(s.pflag & PFLAG_SMOOTH) << "\n"
    << "-o " << Switch(s.speed != 0) << "\n"
    << "-subpix " << (s.subpix == SubPixelEstimator::Gauss3 ? "gauss3" : "fit") << "\n"
    << "-meansub " << Switch(s.meansub) << "\n"
    << "-deform " << (s.deform > 0 ? std::to_string(s.deform) : "off") << "\n"
    << "-dft0 " << (s.firstWindow > 0 ? std::to_string(s.firstWindow) : "off") << "\n"
    << "-deformref " << (s.deform == 0 ? "off" : s.deformReference == DeformReference::FirstImage ? "first" : "midpoint") << "\n"
    << "-mask " << (s.maskname[0] != '\0' ? s.maskname : "off") << "\n";
  // Recorded by runs that pre-process their images only, so that the records of the runs
  // without stay as they were.
  if (Preprocesses(ToAnalysisSettings(s)))
    o << "-bg " << (SubtractsBackground(s) ? s.background : "off") << "\n"
      << "-highpass " << (s.highpass > 0 ? std::to_string(s.highpass) : "off") << "\n"
      << "-cap " << Switch(s.cap) << "\n";
  return o.str();
}

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

bool RunRecord::Make(const TarvexSettings& s) {
  name_ = RunRecordName(s);
  struct stat st;
  if (stat(s.filename, &st) != 0) {
    std::fprintf(stderr, "tarvex: cannot examine %s: %s\n", s.filename, std::strerror(errno));
    return false;
  }
  const char* slash = std::strrchr(s.filename, '/');
  char modified[48];
  std::snprintf(modified, sizeof modified, "%lld.%09ld", static_cast<long long>(st.st_mtim.tv_sec),
                static_cast<long>(st.st_mtim.tv_nsec));
  text_ = std::string(kFirstLine) + "\ninput " + (slash != nullptr ? slash + 1 : s.filename) + "\nsize " +
          std::to_string(static_cast<long long>(st.st_size)) + "\nmodified " + modified + "\n" + ResultOptionsText(s);
  return true;
}

bool RunRecord::CheckForResume() {
  struct stat st;
  const bool exists = stat(name_.c_str(), &st) == 0;
  if (!exists && errno == ENOENT) return true;
  std::ifstream in(name_, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!exists || !in) {
    std::fprintf(stderr, "tarvex: cannot resume: %s cannot be read; nothing written\n", name_.c_str());
    return false;
  }
  const std::vector<std::string> recorded = Lines(content), wanted = Lines(text_);
  for (size_t k = 0; k < recorded.size() || k < wanted.size(); k++) {
    const std::string was = k < recorded.size() ? recorded[k] : "nothing more";
    const std::string is = k < wanted.size() ? wanted[k] : "nothing more";
    if (was == is) continue;
    std::fprintf(stderr, "tarvex: cannot resume: %s records %s, this run has %s; nothing written\n",
                 name_.c_str(), was.c_str(), is.c_str());
    return false;
  }
  since_ = st.st_mtim;
  hasSince_ = true;
  onDisk_ = true;
  return true;
}

bool RunRecord::Write() {
  if (onDisk_) return true;
  AtomicFile file;
  if (file.Open(name_, false)) {
    if (std::fputs(text_.c_str(), file.Stream()) < 0) file.Failed();
    if (file.Commit()) return true;
  }
  std::fprintf(stderr, "tarvex: %s\n", file.Error().c_str());
  return false;
}

}  // namespace tarvex
