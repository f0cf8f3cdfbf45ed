// A pair's console text as it travels from the rank that analysed the pair to rank 0, which
// prints every pair's text in pair order: the pair's index, whether it was analysed and
// written, and the text in its order on the two streams.
//
// Worked example: pair 7, written, with "Read PIV Image 15 -> 4 px\n" on standard output is
// the bytes 07 00 00 00 00 00 00 00 | 01 | 01 00 00 00 | 00 | 19 00 00 00 | the 25 characters.
#ifndef PAIRTEXTMESSAGE_H
#define PAIRTEXTMESSAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "support/Console.h"

namespace tarvex {

struct PairText {
  uint64_t pair = 0;
  bool ok = true;
  std::vector<ConsoleChunk> text;
};

std::string EncodePairText(const PairText& message);
// False when the bytes are not a whole message.
bool DecodePairText(const std::string& bytes, PairText& message);

}  // namespace tarvex

#endif
