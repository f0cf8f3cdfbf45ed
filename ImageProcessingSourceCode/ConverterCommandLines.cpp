#include "ConverterCommandLines.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

// A series' start index: a whole number from 0 to INT_MAX and nothing after it. Anything else
// is refused, as a series from an index read as 0 would convert other files than meant.
bool ParseStartIndex(const char* text, int& start) {
  errno = 0;
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE || value < 0 || value > INT_MAX) {
    fprintf(stderr, "\n\nStart index \"%s\" is not a whole number from 0 to %d ....\n\n", text, INT_MAX);
    return false;
  }
  start = static_cast<int>(value);
  return true;
}

}  // namespace

bool ParsePralenCommandLine(int argc, char* argv[], PralenCommandLine& line) {
  line.fullDepth = argc > 1 && std::strcmp(argv[1], "-fulldepth") == 0;
  line.first = line.fullDepth ? 2 : 1;
  // A lone file would name only the output file; converting nothing into it is taken as a
  // mistake rather than a request for an empty file.
  if (argc < line.first + 2) {
    std::cerr << "Use: pralen TIFF-1 <TIFF-2 ... TIFF-N> OutputFile\n";
    return false;
  }
  line.inputs = argc - line.first - 1;
  line.output = argv[argc - 1];
  return true;
}

bool ParseDolvekCommandLine(int argc, char* argv[], DolvekCommandLine& line) {
  if (argc != 3) {
    std::cerr << "Use: dolvek <InputFile> <OutputFile>\n";
    return false;
  }
  line.input = argv[1];
  line.output = argv[2];
  return true;
}

bool ParseQuenlarCommandLine(int argc, char* argv[], QuenlarCommandLine& line) {
  if (argc == 1) {
    std::cerr << "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (Start Index)\n";
    return false;
  }
  if (argc != 3 && argc != 4) {
    std::cerr << "Use: quenlar <InputFile(/SeriesName)> <OutputFile> (StartIndex)\n";
    return false;
  }
  line.input = argv[1];
  line.output = argv[2];
  line.series = argc == 4;
  line.start = 0;
  return !line.series || ParseStartIndex(argv[3], line.start);
}

bool SeriesFileName(const char* series, long index, char (&name)[kB16NameSize]) {
  const int length = snprintf(name, sizeof name, "%s_%04ld.b16", series, index);
  if (length < 0 || static_cast<unsigned>(length) >= sizeof name) {
    fprintf(stderr, "\n\nSeries name \"%s\" gives file names longer than %u characters ....\n\n", series,
            kB16NameSize - 1);
    return false;
  }
  return true;
}
