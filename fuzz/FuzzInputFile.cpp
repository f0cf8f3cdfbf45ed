#include "FuzzInputFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void Die(const char* what) {
  fprintf(stderr, "fuzz input file: %s: %s\n", what, strerror(errno));
  abort();
}

}  // namespace

FuzzInputFile::FuzzInputFile() {
  fd_ = memfd_create("fuzz-input", MFD_CLOEXEC);
  if (fd_ < 0) Die("memfd_create");
  snprintf(path_, sizeof path_, "/proc/self/fd/%d", fd_);
}

FuzzInputFile::~FuzzInputFile() { close(fd_); }

const char* FuzzInputFile::Write(const uint8_t* data, size_t size) {
  if (ftruncate(fd_, 0) != 0) Die("ftruncate");
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) Die("pwrite");
    done += static_cast<size_t>(n);
  }
  return path_;
}
