#include "FieldFrame.h"

const char* const kReferenceMidpoint = "midpoint";
const char* const kReferenceFirstImage = "first image";
const char* const kReferenceUnknown = "unknown";

bool ParseDisplacementReference(const std::string& word, std::string& reference) {
  if (word == "midpoint") reference = kReferenceMidpoint;
  else if (word == "first-image") reference = kReferenceFirstImage;
  else if (word == "unknown") reference = kReferenceUnknown;
  else return false;
  return true;
}

std::string CommandLineText(const std::vector<std::string>& words) {
  constexpr size_t kLongest = 2000, kEnd = 500;
  std::string all;
  for (const std::string& word : words) all += (all.empty() ? "" : " ") + word;
  if (all.size() <= kLongest) return all;
  std::string head, tail;
  size_t first = 0, last = words.size();
  while (first < words.size() && head.size() + words[first].size() < kLongest - kEnd) head += words[first++] + " ";
  while (last > first && tail.size() + words[last - 1].size() < kEnd) tail = " " + words[--last] + tail;
  return head + "... (" + std::to_string(last - first) + " words) ..." + tail;
}

std::string InputsText(const std::string& first, const std::string& last, size_t count) {
  if (count <= 1) return first;
  return first + " ... " + last + " (" + std::to_string(count) + " files)";
}
