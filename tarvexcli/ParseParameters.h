// tarvex's command line: banner, usage text, options and the image-pair file name.
#ifndef PARSEPARAMETERS_H
#define PARSEPARAMETERS_H

#include "Settings.h"

namespace tarvex {

// Prints the banner; with no argument prints the usage text and returns false with status 0.
// Reads the options into s (false with status 1 and a message on standard error for a value
// that is missing or cannot be used) and returns true once s.filename names a file that
// opens, asking for another name on standard input while it does not (false with status 1
// at the end of the input).
bool ParseParameters(int argc, char** argv, TarvexSettings& s, int& status);

// The option scan alone: fills s from argv[1..argc-2] and argv[argc-1] (the file name).
// Returns false after printing a message on standard error when a value is missing or unusable.
bool ParseOptions(int argc, char** argv, TarvexSettings& s);

// The pair prompt of single-pair mode: prints "\nselect image pair 1 and 2 > ", reads two
// integers and prints an end of line. False (message on standard error) at the end of
// standard input or when the input is not two integers.
bool ReadImagePair(int& i1, int& i2);

}  // namespace tarvex

#endif
