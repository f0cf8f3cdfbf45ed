#include "OutputFile.h"

#include <cstdio>

#include "AtomicFile.h"

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  AtomicFile out;
  if (!out.Open(path, true)) {
    error = "cannot create " + path + ": " + out.Reason();
    return false;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), out.Stream()) != bytes.size()) out.Failed();
  if (out.Commit()) return true;
  error = out.Error();
  return false;
}
