// The fuzz input as a file, for readers that take a file name: a memory file rewritten on
// every run and named /proc/self/fd/N, so that nothing is left on disk and two fuzzing
// processes never share it. Each open of the name starts at the first byte.
//
// Worked example: after Write of the 6 bytes 02 00 01 00 34 12, fopen(Path(), "rb") reads
// exactly those 6 bytes: an image-pair file of one 2 x 1 image whose first pixel is 0x1234.
#ifndef FUZZ_FUZZINPUTFILE_H
#define FUZZ_FUZZINPUTFILE_H

#include <cstddef>
#include <cstdint>

class FuzzInputFile {
 public:
  // Ends the process with a message when no memory file can be made: without it no
  // reader can be fuzzed.
  FuzzInputFile();
  ~FuzzInputFile();
  FuzzInputFile(const FuzzInputFile&) = delete;
  FuzzInputFile& operator=(const FuzzInputFile&) = delete;

  // Replaces the content by size bytes of data and returns the file's name.
  const char* Write(const uint8_t* data, size_t size);
  const char* Path() const { return path_; }

 private:
  int fd_ = -1;
  char path_[32] = {};
};

#endif
