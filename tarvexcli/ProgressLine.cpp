#include "ProgressLine.h"

#include <cmath>
#include <cstdio>

ProgressLine::ProgressLine(size_t total, bool shown, bool sharesTerminal)
    : total_(total), shown_(shown), sharesTerminal_(sharesTerminal) {}

void ProgressLine::MakeWay() {
  if (sharesTerminal_) Clear();
}

std::string ProgressLine::Text(size_t done, size_t total, double seconds) {
  char line[160];
  if (done == 0 || seconds <= 0) {
    std::snprintf(line, sizeof line, "tarvex: %zu of %zu pairs", done, total);
    return line;
  }
  const double rate = done / seconds;
  const long left = std::lround((total - done) / rate);
  std::snprintf(line, sizeof line, "tarvex: %zu of %zu pairs, %.1f pairs/s, %ld min %ld s left", done,
                total, rate, left / 60, left % 60);
  return line;
}

void ProgressLine::Update(size_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(250) && done < total_) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r\033[K%s", Text(done, total_, seconds).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}
