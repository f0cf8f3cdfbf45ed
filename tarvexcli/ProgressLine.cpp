#include "ProgressLine.h"

#include <cmath>
#include <cstdio>
#include <utility>

ProgressLine::ProgressLine(size_t total, bool shown, bool sharesTerminal, std::string program, std::string items)
    : total_(total), shown_(shown), sharesTerminal_(sharesTerminal), program_(std::move(program)), items_(std::move(items)) {}

void ProgressLine::MakeWay() {
  if (sharesTerminal_) Clear();
}

std::string ProgressLine::Text(size_t done, size_t total, double seconds, const std::string& program,
                               const std::string& items) {
  char line[200];
  const char* p = program.c_str();
  const char* what = items.c_str();
  if (done == 0 || seconds <= 0) {
    std::snprintf(line, sizeof line, "%s: %zu of %zu %s", p, done, total, what);
    return line;
  }
  const double rate = done / seconds;
  const long left = std::lround((total - done) / rate);
  std::snprintf(line, sizeof line, "%s: %zu of %zu %s, %.1f %s/s, %ld min %ld s left", p, done, total, what, rate,
                what, left / 60, left % 60);
  return line;
}

void ProgressLine::Update(size_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(250) && done < total_) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r\033[K%s", Text(done, total_, seconds, program_, items_).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}
