// Fast reading of the records of a DPIV file: the whole file is read into a buffer the
// caller keeps from file to file, and each line is scanned in place. Numbers are read as
// strtod reads them (the same value, bit for bit, and the same end): std::from_chars takes
// the plain decimal forms tarvex writes, and strtod itself the rest (a leading '+',
// hexadecimal, values out of range), so that what is accepted and what it means is exactly
// what a line-by-line strtod reader accepts.
//
// Worked example: the line "1\t1.500000e+01\t3.100000e+01\t2.500000e+00\t-1.250000e+00\t0.812"
// gives the valid record x = 15, y = 31, U = 2.5, V = -1.25, peak = 0.812; so does
// "+1 15 0x1Fp0 2.5 -1.25 0.812 \r". "1 15 31 2.5 -1.25" (five values), "2 15 31 2.5 -1.25 0.8"
// (flag 2), "1 15 31 2.5 inf 0.8" and "1 15 31 2.5 -1.25 0.8 x" are not records.
#ifndef FORMATS_DPIVRECORDS_H
#define FORMATS_DPIVRECORDS_H

#include <string>
#include <vector>

#include "DpivFile.h"

// Reads one record from the line [begin, end) (without its '\n'). The characters at end
// and after must exist up to a NUL byte (std::string's terminating NUL will do): strtod,
// used for the unusual forms, stops at the first character that cannot continue a number,
// which '\n' and NUL never do.
bool ScanDpivRecord(const char* begin, const char* end, VectorRecord& record);

// Reads the whole file at path into buffer (cleared first); false with a one-line reason in
// error when it cannot be opened or read.
bool ReadDpivText(const std::string& path, std::string& buffer, std::string& error);

// Reads the file at path into buffer and its records into records (both cleared first;
// their capacity is kept). False with a one-line reason in error when the file cannot be
// read, does not begin with the 12 comment lines, holds a line that is not a record, or
// holds no record. The grid is not checked (ReadDpivFile does).
bool ReadDpivRecords(const std::string& path, std::string& buffer, std::vector<VectorRecord>& records,
                     std::string& error);

#endif
