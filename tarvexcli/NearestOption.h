// The known option nearest to a word that is none: the one fewest single-character edits
// (insertions, deletions, substitutions; upper and lower case alike) away, offered only when
// the word is close enough to be a slip of the fingers.
//
// Worked example: "-Mask" is 0 edits from "-mask" (case aside), "-deform3" and "--deform" 1 from
// "-deform", "-j2" 1 from "-j": each is offered. "x" is 2 from "-s", half its length and more,
// so nothing is offered; nor for "-q", 1 from "-i" but only 2 characters long.
#ifndef NEARESTOPTION_H
#define NEARESTOPTION_H

#include <cstddef>
#include <string>

namespace tarvex {

// Single-character edits that turn a into b, upper and lower case counted alike.
size_t EditDistance(const std::string& a, const std::string& b);

// The first of names[0..count-1] nearest to word, or null when the nearest is more than 2
// edits away, or more than (length of word - 1) / 2 edits (rounded down).
const char* NearestOption(const std::string& word, const char* const* names, size_t count);

}  // namespace tarvex

#endif
