#include "Console.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void Console::Print(const char* text) {
  if (text_ != nullptr)
    text_->append(text);
  else
    std::fputs(text, stdout);
}

void Console::Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (text_ == nullptr) {
    std::vfprintf(stdout, format, args);
    va_end(args);
    return;
  }
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, again);
    text_->append(buffer.data(), static_cast<size_t>(length));
  }
  va_end(again);
}

void Console::Flush() {
  if (text_ == nullptr) std::fflush(stdout);
}

Console& StandardOutput() {
  static Console console;
  return console;
}
