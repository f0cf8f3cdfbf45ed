// The converters' command lines, kept apart from their programs so that they can be tried
// on any arguments. Each parser prints its program's usage text on standard error and
// returns false when the arguments do not fit; argc and argv are main's.
//
// Worked example: quenlar's "cam cam.dat 12" is a series from index 12, whose first file
// SeriesFileName names cam_0012.b16; "cam_0012.b16 cam.dat" converts that one file.
#ifndef CONVERTERCOMMANDLINES_H
#define CONVERTERCOMMANDLINES_H

#include "ConverterReaders.h"  // kB16NameSize

// pralen [-fulldepth] TIFF-1 [TIFF-2 ... TIFF-N] OutputFile: the input files are
// argv[first] .. argv[first + inputs - 1]. -fulldepth counts only as the first argument, so
// that every command line without it means what it always meant.
struct PralenCommandLine {
  bool fullDepth = false;
  int first = 1;
  int inputs = 0;
  const char* output = nullptr;
};
bool ParsePralenCommandLine(int argc, char* argv[], PralenCommandLine& line);

// dolvek InputFile OutputFile
struct DolvekCommandLine {
  const char* input = nullptr;
  const char* output = nullptr;
};
bool ParseDolvekCommandLine(int argc, char* argv[], DolvekCommandLine& line);

// quenlar InputFile OutputFile, or quenlar SeriesName OutputFile StartIndex. A start index
// that is not a whole number from 0 to INT_MAX is refused ("\n\nStart index \"abc\" is not a
// whole number from 0 to 2147483647 ....\n\n" on standard error).
struct QuenlarCommandLine {
  const char* input = nullptr;  // the camera file, or the series name
  const char* output = nullptr;
  bool series = false;
  int start = 0;  // first index of a series
};
bool ParseQuenlarCommandLine(int argc, char* argv[], QuenlarCommandLine& line);

// Names file index of a series; false, with a message on standard error, when the name
// would not fit the B16 reader's working name.
bool SeriesFileName(const char* series, long index, char (&name)[kB16NameSize]);

#endif
