#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    error = "cannot write " + path;
    std::remove(path.c_str());
  }
  return ok;
}
