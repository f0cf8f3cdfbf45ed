// The long options of pivsynth's and pivcompare's command lines: "--name=value", or "--name"
// with its value as the next argument.
//
// Worked example: in {"--size=64x32"} the option at 0 is ("--size", "64x32"); in {"--out",
// "a.b16"} it is ("--out", "a.b16") and the index moves on to 1; {"--dx"} lacks its value:
// "option --dx needs a value".
#ifndef FORMATS_LONGOPTION_H
#define FORMATS_LONGOPTION_H

#include <cstddef>
#include <string>
#include <vector>

// Splits the option at args[k] into its name and value, moving k past a value given as the
// next argument; false with the reason in error when the value is missing.
bool SplitLongOption(const std::vector<std::string>& args, size_t& k, std::string& name, std::string& value,
                     std::string& error);

#endif
