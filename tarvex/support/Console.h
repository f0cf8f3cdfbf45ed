// Where the analysis writes the text a person reads while it runs (the image count, the
// checks' reports, the two-pass messages) and its complaints: standard output and standard
// error, a string the caller keeps, or held back in order until the caller releases it.
// Holding back lets a caller keep a pair's text in its place: a series that reads ahead and
// writes behind prints each pair's text when the pair before it is done, and a cluster rank
// sends its pairs' text to the rank that prints.
//
// Worked example: Console log(&text); log.Printf("%d x %d", 31, 31); log.Print("\n");
// leaves text == "31 x 31\n" and writes nothing to standard output. On a console holding back,
// Print("a"), Error("b"), Print("c") write nothing until Release(), which writes "a" to
// standard output, flushes it, writes "b" to standard error, then "c" to standard output.
#ifndef CONSOLE_H
#define CONSOLE_H

#include <string>
#include <vector>

namespace tarvex {

// Text on its way to one of the two streams.
struct ConsoleChunk {
  bool error;  // standard error (else standard output)
  std::string text;
};

class Console {
 public:
  // Standard output and standard error.
  Console() = default;
  // Appends the text of both streams to *text, which the caller owns and keeps while the
  // console is in use.
  explicit Console(std::string* text) : text_(text) {}

  void Print(const char* text);
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Text for standard error; standard output is flushed first, so a terminal shows the two
  // in the order they were written.
  void Error(const char* text);
  void ErrorPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Makes what was printed visible at once: the line a person waits on.
  void Flush();

  // From now on keeps everything in order instead of writing it.
  void HoldBack();
  // Takes what was held back (the console keeps holding back).
  std::vector<ConsoleChunk> TakeHeld();
  // Writes what was held back in order and writes directly again.
  void Release();
  // Writes chunks (held back elsewhere) in their order, or holds them back in turn.
  void Write(const std::vector<ConsoleChunk>& chunks);

 private:
  void Put(bool error, const char* text, size_t length);

  std::string* text_ = nullptr;
  bool holding_ = false;
  std::vector<ConsoleChunk> held_;
};

// The console on standard output and standard error, for callers that have no other.
Console& StandardOutput();

}  // namespace tarvex

#endif
