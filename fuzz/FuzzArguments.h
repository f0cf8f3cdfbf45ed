// A command line made from fuzz input: arguments separated by NUL bytes, as a program
// receives them (no argument can hold a NUL), after a fixed program name. Each argument
// has a buffer of exactly its length, so that a parser reading past its end is caught.
//
// Worked example: the 9 input bytes "-dft\0" "32\0" "a" give argc 4 and argv
// {"tarvex", "-dft", "32", "a", nullptr}; an empty input gives argc 1. A NUL at the very
// end adds an empty last argument.
#ifndef FUZZ_FUZZARGUMENTS_H
#define FUZZ_FUZZARGUMENTS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class FuzzArguments {
 public:
  FuzzArguments(const char* program, const uint8_t* data, size_t size);
  FuzzArguments(const FuzzArguments&) = delete;
  FuzzArguments& operator=(const FuzzArguments&) = delete;

  int Argc() const { return static_cast<int>(words_.size()); }
  // main's argv: Argc() arguments, the program name first, then a null pointer.
  char** Argv() { return argv_.data(); }
  // The arguments after the program name, for parsers that take them as strings.
  std::vector<std::string> Strings() const;

 private:
  std::vector<std::unique_ptr<char[]>> words_;
  std::vector<char*> argv_;
};

#endif
