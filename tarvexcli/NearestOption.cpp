#include "NearestOption.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tarvex {

namespace {

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  // One row of the table of distances between the prefixes of a and b at a time.
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); j++) row[j] = j;
  for (size_t i = 1; i <= a.size(); i++) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); j++) {
      const size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (SameLetter(a[i - 1], b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

const char* NearestOption(const std::string& word, const char* const* names, size_t count) {
  const char* nearest = nullptr;
  size_t best = 0;
  for (size_t k = 0; k < count; k++) {
    const size_t d = EditDistance(word, names[k]);
    if (nearest == nullptr || d < best) {
      nearest = names[k];
      best = d;
    }
  }
  const size_t allowed = std::min<size_t>(2, word.empty() ? 0 : (word.size() - 1) / 2);
  return nearest != nullptr && best <= allowed ? nearest : nullptr;
}

}  // namespace tarvex
