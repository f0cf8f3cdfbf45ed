// Where the analysis writes the text a person reads while it runs (the image count, the
// checks' reports, the two-pass messages): standard output, or a string the caller keeps.
// A string lets a caller hold a pair's text back (a parallel pass keeps grid order, a
// cluster rank sends its pairs' text to the rank that prints, a Python caller returns it).
//
// Worked example: Console log(&text); log.Printf("%d x %d", 31, 31); log.Print("\n");
// leaves text == "31 x 31\n" and writes nothing to standard output.
#ifndef CONSOLE_H
#define CONSOLE_H

#include <string>

class Console {
 public:
  // Standard output.
  Console() = default;
  // Appends to *text, which the caller owns and keeps while the console is in use.
  explicit Console(std::string* text) : text_(text) {}

  void Print(const char* text);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Makes what was printed visible at once: the line a person waits on.
  void Flush();

 private:
  std::string* text_ = nullptr;
};

// The console on standard output, for callers that have no other.
Console& StandardOutput();

#endif
