// A line on standard error that shows how far a long piece of work is (the pairs of a series,
// the images of a background), while standard error is a terminal: items done of the total,
// items per second and the time left, redrawn at most four times a second and erased before
// other text is written and at the end. Off a terminal it writes nothing, so logs and pipes
// see the console text only.
//
// Worked example: 120 of 3000 pairs done 10 s after the start draw
// "tarvex: 120 of 3000 pairs, 12.0 pairs/s, 4 min 0 s left"; pivstats counts files instead
// ("pivstats: 120 of 3000 files, ..."); 500 of 2000 images of a background after 2 s
// "tarvex: background, 500 of 2000 images, 250.0 images/s, 0 min 6 s left".
#ifndef PROGRESSLINE_H
#define PROGRESSLINE_H

#include <chrono>
#include <cstddef>
#include <string>

namespace tarvex {

class ProgressLine {
 public:
  // Shown only when `shown` (usually: standard error is a terminal); `sharesTerminal` says
  // that standard output goes to the same terminal, so the line must make way for its text.
  // `program` begins the line, `items` names what is counted, `lead` (when not empty) what
  // it is for.
  ProgressLine(size_t total, bool shown, bool sharesTerminal, std::string program = "tarvex",
               std::string items = "pairs", std::string lead = "");
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Call before writing text on standard output: erases the line if the text would run into it.
  void MakeWay();
  // `done` pairs are done; redraws when the line was erased or is a quarter of a second old.
  void Update(size_t done);
  // Erases the line, if it is drawn.
  void Clear();

  // The text of the line for done items after seconds.
  static std::string Text(size_t done, size_t total, double seconds, const std::string& program = "tarvex",
                          const std::string& items = "pairs", const std::string& lead = "");

 private:
  using Clock = std::chrono::steady_clock;
  size_t total_;
  bool shown_;
  bool sharesTerminal_;
  std::string program_, items_, lead_;
  bool drawn_ = false;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_{};
};

}  // namespace tarvex

#endif
