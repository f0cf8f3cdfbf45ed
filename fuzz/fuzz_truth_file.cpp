// The truth file reader (pivcompare's input, pivsynth's output) on any bytes: a file it
// takes is written back by TruthText and read again to the same record.
#include <cstdint>
#include <string>

#include "FuzzInputFile.h"
#include "FuzzProcess.h"
#include "TruthFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietConsole();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzInputFile file;
  TruthRecord record;
  std::string error;
  if (!ReadTruthFile(file.Write(data, size), record, error)) {
    FuzzCheck(!error.empty(), "a reason for the refusal");
    return 0;
  }
  const std::string text = TruthText(record);
  TruthRecord again;
  FuzzCheck(ReadTruthFile(file.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size()), again, error),
            "the written record reads back");
  FuzzCheck(TruthText(again) == text, "the written record reads back unchanged");
  return 0;
}
