#include "ProgressLine.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace tarvex {

ProgressLine::ProgressLine(size_t total, bool shown, bool sharesTerminal, std::string program, std::string items,
                           std::string lead)
    : total_(total),
      shown_(shown),
      sharesTerminal_(sharesTerminal),
      program_(std::move(program)),
      items_(std::move(items)),
      lead_(std::move(lead)) {}

void ProgressLine::MakeWay() {
  if (sharesTerminal_) Clear();
}

std::string ProgressLine::Text(size_t done, size_t total, double seconds, const std::string& program,
                               const std::string& items, const std::string& lead) {
  const std::string start = program + ": " + (lead.empty() ? "" : lead + ", ");
  char line[160];
  if (done == 0 || seconds <= 0) {
    std::snprintf(line, sizeof line, "%zu of %zu %s", done, total, items.c_str());
    return start + line;
  }
  const double rate = done / seconds;
  const long left = std::lround((total - done) / rate);
  std::snprintf(line, sizeof line, "%zu of %zu %s, %.1f %s/s, %ld min %ld s left", done, total, items.c_str(), rate,
                items.c_str(), left / 60, left % 60);
  return start + line;
}

void ProgressLine::Update(size_t done) {
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && now - last_ < std::chrono::milliseconds(250) && done < total_) return;
  last_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  std::fprintf(stderr, "\r\033[K%s", Text(done, total_, seconds, program_, items_, lead_).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressLine::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace tarvex
