// The checks every text file named as input gets once it is open: a directory opens as a
// stream that reads as empty, and an empty file would read as a file of defaults, so both
// are refused with a reason of their own.
//
// Worked example: for the directory "runs" and the noun "truth file" the reason is
// "runs is a directory, not a truth file"; for an empty file "t.truth", "t.truth is empty".
#ifndef FORMATS_TEXTINPUT_H
#define FORMATS_TEXTINPUT_H

#include <istream>
#include <string>

// Whether the file at path, open as `in`, is neither a directory nor empty; false with the
// reason in error. Reads nothing from the stream.
bool UsableTextInput(const std::string& path, std::istream& in, const std::string& noun, std::string& error);

#endif
