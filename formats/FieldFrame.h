// One field of a series as the NetCDF files, pivstats and pivexport carry it: the records
// of the DPIV file (displacements in px) and any further per-vector quantities.
//
// Worked example: a DPIV record "0 15 15 0 0 0" (flag 0, no displacement, no peak) is a point
// without a measurement (a window that never fits, a masked point, a plane without a
// peak): Unmeasured() is true, and the NetCDF files give it the fill value in u, v and peak.
// "0 15 15 0.2 0 0.31" is a measured vector that a check rejected.
#ifndef FORMATS_FIELDFRAME_H
#define FORMATS_FIELDFRAME_H

#include <string>
#include <vector>

#include "DpivFile.h"

// A per-vector quantity beyond u, v, flag and peak, as a standard uncertainty of u:
//   frame.extras.push_back({"sigma_u", "standard uncertainty of u", true, "", values});
struct ExtraField {
  std::string name;       // the NetCDF variable's name
  std::string long_name;
  bool velocity = false;  // in the unit of u and v (px here, converted as they are)
  std::string units;      // the units of one that is not a velocity
  std::vector<double> values;  // one per point in grid order; NaN where there is none
};

struct FieldFrame {
  std::vector<VectorRecord> vectors;  // grid order; displacements in px
  std::vector<ExtraField> extras;
};

// How a DPIV file records a point without a measurement: flag 0, zero displacement and peak.
inline bool Unmeasured(const VectorRecord& r) { return !r.valid && r.u == 0 && r.v == 0 && r.peak == 0; }

// What the files say about how a field was measured, where it is known.
struct FieldMetadata {
  std::string analysis_options;   // the analysis' options; empty when unknown
  int window_x = 0, window_y = 0; // interrogation window in px; 0 when unknown
  // Which particle the displacement belongs to: kReferenceMidpoint, kReferenceFirstImage
  // or kReferenceUnknown.
  std::string displacement_reference;
  std::string inputs;             // the files the fields came from; empty for none
  std::string program;            // the program writing the file, as "pivexport"
  std::string command_line;       // its command line, for the history
};

// The words of a command line, one space apart; a long one keeps its first and last words
// around " ... (N words) ...", within about 2000 characters.
std::string CommandLineText(const std::vector<std::string>& words);

// The inputs of a series for the files' attribute: "a.dpiv", or "a.dpiv ... z.dpiv (400 files)".
std::string InputsText(const std::string& first, const std::string& last, size_t count);

extern const char* const kReferenceMidpoint;    // "midpoint"
extern const char* const kReferenceFirstImage;  // "first image"
extern const char* const kReferenceUnknown;     // "unknown"

// The reference named by a command-line word (midpoint, first-image, unknown); false for
// another word.
bool ParseDisplacementReference(const std::string& word, std::string& reference);

#endif
