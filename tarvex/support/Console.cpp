#include "support/Console.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tarvex {

namespace {

// The formatted text of format and args.
std::string Format(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

}  // namespace

void Console::Put(bool error, const char* text, size_t length) {
  if (text_ != nullptr) {
    text_->append(text, length);
  } else if (holding_) {
    if (held_.empty() || held_.back().error != error)
      held_.push_back({error, std::string()});
    held_.back().text.append(text, length);
  } else if (error) {
    std::fflush(stdout);
    std::fwrite(text, 1, length, stderr);
  } else {
    std::fwrite(text, 1, length, stdout);
  }
}

void Console::Print(const char* text) { Put(false, text, std::strlen(text)); }

void Console::Error(const char* text) { Put(true, text, std::strlen(text)); }

void Console::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (text_ == nullptr && !holding_) {
    std::vfprintf(stdout, format, args);
  } else {
    const std::string text = Format(format, args);
    Put(false, text.data(), text.size());
  }
  va_end(args);
}

void Console::ErrorPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string text = Format(format, args);
  va_end(args);
  Put(true, text.data(), text.size());
}

void Console::Flush() {
  if (text_ == nullptr && !holding_) std::fflush(stdout);
}

void Console::HoldBack() { holding_ = true; }

std::vector<ConsoleChunk> Console::TakeHeld() {
  std::vector<ConsoleChunk> taken;
  taken.swap(held_);
  return taken;
}

void Console::Release() {
  holding_ = false;
  Write(TakeHeld());
  Flush();
}

void Console::Write(const std::vector<ConsoleChunk>& chunks) {
  for (const ConsoleChunk& chunk : chunks) Put(chunk.error, chunk.text.data(), chunk.text.size());
}

Console& StandardOutput() {
  static Console console;
  return console;
}

}  // namespace tarvex
