#include "FuzzArguments.h"

#include <cstring>

namespace {

std::unique_ptr<char[]> Word(const char* text, size_t length) {
  std::unique_ptr<char[]> word(new char[length + 1]);
  memcpy(word.get(), text, length);
  word[length] = '\0';
  return word;
}

}  // namespace

FuzzArguments::FuzzArguments(const char* program, const uint8_t* data, size_t size) {
  words_.push_back(Word(program, strlen(program)));
  const char* text = reinterpret_cast<const char*>(data);
  size_t begin = 0;
  for (size_t k = 0; size > 0 && k <= size; ++k) {
    if (k < size && text[k] != '\0') continue;
    words_.push_back(Word(text + begin, k - begin));
    begin = k + 1;
  }
  for (const std::unique_ptr<char[]>& word : words_) argv_.push_back(word.get());
  argv_.push_back(nullptr);
}

std::vector<std::string> FuzzArguments::Strings() const {
  std::vector<std::string> strings;
  for (size_t k = 1; k < words_.size(); ++k) strings.emplace_back(words_[k].get());
  return strings;
}
