// The truth file pivsynth writes next to its images: one "key = value" line per item, the
// field and its parameters first, then the settings, so that a comparison can evaluate the
// true displacement anywhere. Keys are pivsynth's option names without the dashes, and the
// values are read back through the same parser as the options.
//
// Worked example: a uniform shift of 2.3, -1.2 px on one 256 x 256 pair with the defaults is
//   field = uniform / dx = 2.3 / dy = -1.2 / size = 256x256 / pairs = 1 / diameter = 2.5 /
//   density = 0.02 / noise = 0 / seed = 1
// (one line each), and DisplacementAt(field, 100.5, 7.5) is (2.3, -1.2) everywhere. Masked
// regions follow, one line each in the order given: --mask-rect 0,200,255,255 and
// --mask-circle 128,100,20.5 add "mask-rect = 0,200,255,255" and "mask-circle = 128,100,20.5".
// The settings of a scene beyond particles and field come after the seed, each only when it
// is not at its default, so that a run without them writes the lines above: --scheme
// symmetric --loss 0.1 --glow 200 --band 10,20,300 --row-pattern 8,0,0,63,31 --dim
// 0,0,15.5,15.5,0.25 add "scheme = symmetric", "loss = 0.1", "glow = 200", "band = 10,20,300",
// "row-pattern = 8,0,0,63,31" and "dim = 0,0,15.5,15.5,0.25", in that order and before the
// masks.
#ifndef FORMATS_TRUTHFILE_H
#define FORMATS_TRUTHFILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "MaskRegion.h"
#include "SceneLight.h"
#include "TruthReference.h"

// What a truth file records: the field and the settings the images were made with.
struct TruthRecord {
  int width = 256, height = 256;
  int pairs = 1;
  DisplacementField field;  // centre defaults to the image centre
  double diameter = 2.5;    // e^-2 particle image diameter in pixels
  double density = 0.02;    // particles per pixel
  double noise = 0.0;       // std dev of the additive noise in counts
  uint64_t seed = 1;
  SynthScheme scheme = SynthScheme::First;
  double loss = 0.0;              // fraction of the particles seen in one image of the pair only
  SceneLight light;               // background and dimmed regions
  std::vector<MaskRegion> masks;  // regions without flow (and without particles)
};

// Shortest decimal form that reads back as the same double.
std::string FormatNumber(double value);

std::string TruthText(const TruthRecord& record);

// Reads "--name value" settings into a record, checking each value; used for pivsynth's
// command line and for the lines of a truth file.
class TruthRecordParser {
 public:
  explicit TruthRecordParser(TruthRecord& record) : o_(record) {}
  // Applies one setting (name with its leading dashes); false with Error() on a bad one.
  bool Apply(const std::string& name, const std::string& value);
  // Checks what only the whole set can tell and fills in the defaults that depend on it.
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& message);
  bool NotNumber(const std::string& name, const std::string& value);
  bool Number(const std::string& name, const std::string& value, double& target);
  bool Size(const std::string& value);
  bool Center(const std::string& value);
  bool Mask(const std::string& name, const std::string& value);
  bool Light(const std::string& name, const std::string& value);
  bool Counts(const std::string& name, double value);
  bool Ordered(const std::string& name, const MaskRegion& rectangle);
  bool NotOfForm(const std::string& name, const std::string& value, const char* form);
  bool OutsideImage(const std::string& name, const std::string& value);

  TruthRecord& o_;
  std::string error_;
  std::vector<std::string> fieldParameters_;  // given field parameters, for Finish
  bool centerGiven_ = false;
};

// Reads a truth file; on failure (also when it is a directory, is empty or holds no "field"
// line) false with a one-line reason naming the file.
bool ReadTruthFile(const std::string& path, TruthRecord& record, std::string& error);

// Writes text to path; on failure false with a one-line reason.
bool WriteTextFile(const std::string& path, const std::string& text, std::string& error);

#endif
