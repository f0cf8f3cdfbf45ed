#include "RunChecks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FileIdentity.h"
#include "ImagePairFile.h"
#include "PairOutputs.h"
#include "SeriesPlan.h"
#include "correlation/DefineFFTWPlans.h"
#include "preprocess/BackgroundFile.h"

namespace tarvex {

namespace {

struct Input {
  const char* what;
  const char* name;
  FileIdentity identity;
};

// Stops at the first file the run would write that is one of the inputs.
bool Spares(const char* output, const std::vector<Input>& inputs) {
  FileIdentity identity;
  if (!IdentifyFile(output, identity)) return true;
  for (const Input& input : inputs) {
    if (!(identity == input.identity)) continue;
    std::fprintf(stderr, "tarvex: refusing to write %s: it is the %s %s this run reads\n", output, input.what,
                 input.name);
    return false;
  }
  return true;
}

// The outputs of every pair, the series' record and the wisdom file against the image-pair
// file and the mask. A file whose images cannot be counted is left to the image store to
// report.
bool OutputsSpareInputs(const TarvexSettings& s) {
  std::vector<Input> inputs;
  Input input{"image-pair file", s.filename, {}};
  if (IdentifyFile(s.filename, input.identity)) inputs.push_back(input);
  input = {"mask file", s.maskname, {}};
  if (s.maskname[0] != '\0' && IdentifyFile(s.maskname, input.identity)) inputs.push_back(input);
  input = {"background file", s.background, {}};
  if (BackgroundFromFile(s) && IdentifyFile(s.background, input.identity)) inputs.push_back(input);
  if (inputs.empty()) return true;

  ImagePairFileReader reader;
  std::vector<PairJob> jobs;
  std::string error;
  if (reader.Open(s.filename) != ImagePairFileReader::Status::Ok ||
      !PlanRun(s, reader.NumberImages(), jobs, error))
    return true;
  reader.Close();
  std::vector<const char*> names;
  for (const PairJob& job : jobs) {
    PairOutputFiles(s, job, names);
    for (const char* name : names)
      if (!Spares(name, inputs)) return false;
  }
  return ((s.pflag & PFLAG_SERIES) == 0 || Spares(RunRecordName(s).c_str(), inputs)) &&
         Spares(kWisdomFileName, inputs);
}

// -bg FILE names an image-pair file whose first image has the images' size; a word that is
// neither min nor mean nor a file is refused here too. A file whose images cannot be read is
// left to the image store to report.
bool BackgroundFileUsable(const TarvexSettings& s) {
  if (!BackgroundFromFile(s)) return true;
  FILE* f = std::fopen(s.background, "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "tarvex: -bg takes min, mean or an image-pair file: cannot open %s: %s\n", s.background,
                 std::strerror(errno));
    return false;
  }
  std::fclose(f);
  ImagePairFileReader reader;
  if (reader.Open(s.filename) != ImagePairFileReader::Status::Ok) return true;
  BackgroundImage background;
  const Status read = ReadBackgroundFile(s.background, reader.Width(), reader.Height(), background);
  if (!read) std::fprintf(stderr, "tarvex: %s\n", read.message());
  return read.ok();
}

}  // namespace

bool CheckBeforeWriting(const TarvexSettings& s, RunRecord& record) {
  if (!OutputsSpareInputs(s) || !BackgroundFileUsable(s)) return false;
  if (!(s.pflag & PFLAG_SERIES)) return true;
  return record.Make(s) && (!s.resume || record.CheckForResume());
}

}  // namespace tarvex
