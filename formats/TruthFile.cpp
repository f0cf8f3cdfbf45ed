#include "TruthFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>

#include "AtomicFile.h"
#include "ImagePairFile.h"  // kMaxImageSide
#include "TextInput.h"

namespace {

// Largest file the analysis can address with its 32-bit offsets.
const double kMaxFileBytes = 2147483647.0;
const double kMaxDiameter = 100.0;
const double kMaxDensity = 1.0;
const double kMaxCounts = 4095.0;

// Fields each field parameter belongs to, as bits of 1 << FieldKind.
struct FieldParameter {
  const char* name;
  unsigned fields;
};

unsigned Bit(FieldKind kind) { return 1u << static_cast<unsigned>(kind); }

bool ParseDouble(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseInt(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return false;
  value = v;
  return true;
}

bool ParseSeed(const std::string& text, uint64_t& value) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return false;
  value = v;
  return true;
}

// Splits "A<sep>B" into its two parts.
bool SplitPair(const std::string& text, char sep, std::string& a, std::string& b) {
  const size_t at = text.find(sep);
  if (at == std::string::npos) return false;
  a = text.substr(0, at);
  b = text.substr(at + 1);
  return true;
}

// Reads "A,B,C..." with exactly count numbers.
bool ParseNumbers(const std::string& text, double* values, int count) {
  size_t start = 0;
  for (int k = 0; k < count; ++k) {
    const size_t comma = k + 1 < count ? text.find(',', start) : text.size();
    if (comma == std::string::npos || !ParseDouble(text.substr(start, comma - start), values[k])) return false;
    start = comma + 1;
  }
  return true;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r");
  const size_t e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace

std::string FormatNumber(double value) {
  // Plain notation where a reader expects it (100, not 1e+02); exponents only for
  // very small or very large magnitudes.
  const double magnitude = std::fabs(value);
  const bool plain = magnitude >= 1e-4 && magnitude < 1e15;
  char text[40];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value && (!plain || std::strchr(text, 'e') == nullptr)) break;
  }
  return text;
}

namespace {

std::string Line(const std::string& key, const std::string& value) { return key + " = " + value + "\n"; }
std::string Line(const std::string& key, double value) { return Line(key, FormatNumber(value)); }

const char* MaskOption(MaskShape shape) { return shape == MaskShape::Rectangle ? "mask-rect" : "mask-circle"; }

// Numbers as a list option takes them: "A,B,C".
std::string Joined(std::initializer_list<double> values) {
  std::string text;
  for (const double v : values) text += (text.empty() ? "" : ",") + FormatNumber(v);
  return text;
}

std::string MaskValue(const MaskRegion& m) {
  if (m.shape == MaskShape::Circle) return Joined({m.cx, m.cy, m.r});
  return Joined({m.x0, m.y0, m.x1, m.y1});
}

std::string BandValue(const LightBand& b) { return Joined({b.y0, b.y1, b.level}); }
std::string RowPatternValue(const RowPattern& p) { return Joined({p.level, p.x0, p.y0, p.x1, p.y1}); }
std::string DimValue(const DimRegion& d) { return Joined({d.x0, d.y0, d.x1, d.y1, d.factor}); }

std::string FieldLines(const DisplacementField& f) {
  std::string text = Line("field", FieldKindName(f.kind));
  const std::string center = FormatNumber(f.cx) + "," + FormatNumber(f.cy);
  switch (f.kind) {
    case FieldKind::Uniform:
      text += Line("dx", f.dx) + Line("dy", f.dy);
      break;
    case FieldKind::Rotation:
      text += Line("omega", f.omega) + Line("center", center);
      break;
    case FieldKind::Vortex:
      text += Line("profile", VortexProfileName(f.profile)) + Line("gamma", f.gamma) + Line("core", f.core) +
              Line("center", center);
      break;
    case FieldKind::Shear:
      text += Line("shear", f.shear) + Line("center", center);
      break;
    case FieldKind::Sine:
      text += Line("amplitude", f.amplitude) + Line("wavelength", f.wavelength) +
              Line("direction", WaveDirectionName(f.direction)) + Line("dx", f.dx) + Line("dy", f.dy);
      break;
  }
  return text;
}

// The settings beyond particles and field, each only when it is not at its default.
std::string SceneLines(const TruthRecord& o) {
  std::string text;
  if (o.scheme != SynthScheme::First) text += Line("scheme", SynthSchemeName(o.scheme));
  if (o.loss != 0.0) text += Line("loss", o.loss);
  if (o.light.glow != 0.0) text += Line("glow", o.light.glow);
  for (const LightBand& b : o.light.bands) text += Line("band", BandValue(b));
  for (const RowPattern& p : o.light.rowPatterns) text += Line("row-pattern", RowPatternValue(p));
  for (const DimRegion& d : o.light.dims) text += Line("dim", DimValue(d));
  return text;
}

}  // namespace

std::string TruthText(const TruthRecord& o) {
  std::string text = FieldLines(o.field) + Line("size", std::to_string(o.width) + "x" + std::to_string(o.height)) +
                     Line("pairs", std::to_string(o.pairs)) + Line("diameter", o.diameter) +
                     Line("density", o.density) + Line("noise", o.noise) + Line("seed", std::to_string(o.seed)) +
                     SceneLines(o);
  for (const MaskRegion& m : o.masks) text += Line(MaskOption(m.shape), MaskValue(m));
  return text;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
  AtomicFile file;
  if (file.Open(path, false)) {
    if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size()) file.Failed();
    if (file.Commit()) return true;
  }
  error = file.Error();
  return false;
}

bool TruthRecordParser::Fail(const std::string& message) {
  error_ = message;
  return false;
}

bool TruthRecordParser::NotNumber(const std::string& name, const std::string& value) {
  return Fail(name + ": '" + value + "' is not a number");
}

bool TruthRecordParser::Number(const std::string& name, const std::string& value, double& target) {
  return ParseDouble(value, target) || NotNumber(name, value);
}

bool TruthRecordParser::Size(const std::string& value) {
  std::string w, h;
  long width = 0, height = 0;
  if (!SplitPair(value, 'x', w, h) || !ParseInt(w, width) || !ParseInt(h, height))
    return Fail("--size: '" + value + "' is not of the form WIDTHxHEIGHT");
  if (width <= 0 || height <= 0) return Fail("--size: width and height must be positive");
  if (width > kMaxImageSide || height > kMaxImageSide) return Fail("--size: width and height must be at most 5000");
  o_.width = static_cast<int>(width);
  o_.height = static_cast<int>(height);
  return true;
}

bool TruthRecordParser::Center(const std::string& value) {
  std::string x, y;
  if (!SplitPair(value, ',', x, y) || !ParseDouble(x, o_.field.cx) || !ParseDouble(y, o_.field.cy))
    return Fail("--center: '" + value + "' is not of the form X,Y");
  centerGiven_ = true;
  return true;
}

bool TruthRecordParser::Mask(const std::string& name, const std::string& value) {
  MaskRegion m;
  if (name == "--mask-circle") {
    m.shape = MaskShape::Circle;
    double v[3];
    if (!ParseNumbers(value, v, 3)) return NotOfForm(name, value, "X,Y,R");
    m.cx = v[0];
    m.cy = v[1];
    m.r = v[2];
    if (!(m.r > 0.0)) return Fail(name + ": the radius must be positive");
  } else {
    double v[4];
    if (!ParseNumbers(value, v, 4)) return NotOfForm(name, value, "X0,Y0,X1,Y1");
    m = RectangleRegion(v[0], v[1], v[2], v[3]);
    if (!Ordered(name, m)) return false;
  }
  o_.masks.push_back(m);
  return true;
}

bool TruthRecordParser::NotOfForm(const std::string& name, const std::string& value, const char* form) {
  return Fail(name + ": '" + value + "' is not of the form " + form);
}

bool TruthRecordParser::Ordered(const std::string& name, const MaskRegion& rectangle) {
  return (rectangle.x1 >= rectangle.x0 && rectangle.y1 >= rectangle.y0) ||
         Fail(name + ": X1 must not be below X0, nor Y1 below Y0");
}

bool TruthRecordParser::Counts(const std::string& name, double value) {
  return (value >= 0.0 && value <= kMaxCounts) || Fail(name + ": must be between 0 and 4095 counts");
}

bool TruthRecordParser::Light(const std::string& name, const std::string& value) {
  double v[5];
  SceneLight& light = o_.light;
  if (name == "--band") {
    if (!ParseNumbers(value, v, 3)) return NotOfForm(name, value, "Y0,Y1,LEVEL");
    if (v[1] < v[0]) return Fail(name + ": Y1 must not be below Y0");
    if (!Counts(name, v[2])) return false;
    light.bands.push_back({v[0], v[1], v[2]});
    return true;
  }
  if (name == "--row-pattern") {
    if (!ParseNumbers(value, v, 5)) return NotOfForm(name, value, "LEVEL,X0,Y0,X1,Y1");
    if (!Ordered(name, RectangleRegion(v[1], v[2], v[3], v[4])) || !Counts(name, v[0])) return false;
    light.rowPatterns.push_back({v[0], v[1], v[2], v[3], v[4]});
    return true;
  }
  if (!ParseNumbers(value, v, 5)) return NotOfForm(name, value, "X0,Y0,X1,Y1,FACTOR");
  if (!Ordered(name, RectangleRegion(v[0], v[1], v[2], v[3]))) return false;
  if (!(v[4] >= 0.0 && v[4] <= 1.0)) return Fail(name + ": the factor must be between 0 and 1");
  light.dims.push_back({v[0], v[1], v[2], v[3], v[4]});
  return true;
}

bool TruthRecordParser::Apply(const std::string& name, const std::string& value) {
  const std::string parameters[] = {"--dx",    "--dy",    "--omega",     "--center",     "--profile",  "--gamma",
                                    "--core",  "--shear", "--amplitude", "--wavelength", "--direction"};
  for (const std::string& p : parameters)
    if (name == p) fieldParameters_.push_back(name);

  if (name == "--size") return Size(value);
  if (name == "--pairs") {
    long pairs = 0;
    if (!ParseInt(value, pairs)) return NotNumber(name, value);
    if (pairs <= 0 || pairs > 1000000) return Fail("--pairs: must be between 1 and 1000000");
    o_.pairs = static_cast<int>(pairs);
    return true;
  }
  if (name == "--field") {
    return ParseFieldKind(value, o_.field.kind) ||
           Fail("--field: '" + value + "' is not one of uniform, rotation, vortex, shear, sine");
  }
  if (name == "--profile") {
    return ParseVortexProfile(value, o_.field.profile) ||
           Fail("--profile: '" + value + "' is not one of rankine, lamb-oseen");
  }
  if (name == "--center") return Center(value);
  if (name == "--dx") return Number(name, value, o_.field.dx);
  if (name == "--dy") return Number(name, value, o_.field.dy);
  if (name == "--omega") return Number(name, value, o_.field.omega);
  if (name == "--gamma") return Number(name, value, o_.field.gamma);
  if (name == "--shear") return Number(name, value, o_.field.shear);
  if (name == "--core") {
    if (!Number(name, value, o_.field.core)) return false;
    return o_.field.core > 0.0 || Fail("--core: the core radius must be positive");
  }
  if (name == "--amplitude") return Number(name, value, o_.field.amplitude);
  if (name == "--wavelength") {
    if (!Number(name, value, o_.field.wavelength)) return false;
    return o_.field.wavelength > 0.0 || Fail("--wavelength: the wavelength must be positive");
  }
  if (name == "--direction") {
    return ParseWaveDirection(value, o_.field.direction) || Fail("--direction: '" + value + "' is not one of x, y");
  }
  if (name == "--diameter") {
    if (!Number(name, value, o_.diameter)) return false;
    return (o_.diameter > 0.0 && o_.diameter <= kMaxDiameter) ||
           Fail("--diameter: must be above 0 and at most 100 pixels");
  }
  if (name == "--density") {
    if (!Number(name, value, o_.density)) return false;
    return (o_.density >= 0.0 && o_.density <= kMaxDensity) ||
           Fail("--density: must be between 0 and 1 particles per pixel");
  }
  if (name == "--noise") return Number(name, value, o_.noise) && Counts(name, o_.noise);
  if (name == "--seed") {
    return ParseSeed(value, o_.seed) || Fail("--seed: '" + value + "' is not a whole number from 0 to 2^64-1");
  }
  if (name == "--mask-rect" || name == "--mask-circle") return Mask(name, value);
  if (name == "--scheme") {
    return ParseSynthScheme(value, o_.scheme) || Fail("--scheme: '" + value + "' is not one of first, symmetric");
  }
  if (name == "--loss") {
    if (!Number(name, value, o_.loss)) return false;
    return (o_.loss >= 0.0 && o_.loss < 1.0) || Fail("--loss: must be at least 0 and below 1");
  }
  if (name == "--glow") return Number(name, value, o_.light.glow) && Counts(name, o_.light.glow);
  if (name == "--band" || name == "--row-pattern" || name == "--dim") return Light(name, value);
  return Fail("unknown option '" + name + "'");
}

bool TruthRecordParser::Finish() {
  static const FieldParameter kOwners[] = {
      {"--dx", Bit(FieldKind::Uniform) | Bit(FieldKind::Sine)},
      {"--dy", Bit(FieldKind::Uniform) | Bit(FieldKind::Sine)},
      {"--omega", Bit(FieldKind::Rotation)},
      {"--center", Bit(FieldKind::Rotation) | Bit(FieldKind::Vortex) | Bit(FieldKind::Shear)},
      {"--profile", Bit(FieldKind::Vortex)},
      {"--gamma", Bit(FieldKind::Vortex)},
      {"--core", Bit(FieldKind::Vortex)},
      {"--shear", Bit(FieldKind::Shear)},
      {"--amplitude", Bit(FieldKind::Sine)},
      {"--wavelength", Bit(FieldKind::Sine)},
      {"--direction", Bit(FieldKind::Sine)},
  };
  // A parameter of another field is almost surely a mistake in a test set-up.
  for (const std::string& given : fieldParameters_)
    for (const FieldParameter& owner : kOwners)
      if (given == owner.name && (owner.fields & Bit(o_.field.kind)) == 0)
        return Fail(given + " does not apply to --field " + FieldKindName(o_.field.kind));

  const double bytes = 4.0 + 4.0 * o_.pairs * static_cast<double>(o_.width) * o_.height;
  if (bytes > kMaxFileBytes) return Fail("--pairs: the file would exceed 2 GiB; ask for fewer pairs or smaller images");
  if (!centerGiven_) {
    o_.field.cx = (o_.width - 1) / 2.0;
    o_.field.cy = (o_.height - 1) / 2.0;
  }
  // A region beside the image is almost surely a mistake in its numbers.
  for (const MaskRegion& m : o_.masks)
    if (!CoversAnyPixel(m, o_.width, o_.height))
      return OutsideImage(std::string("--") + MaskOption(m.shape), MaskValue(m));
  for (const LightBand& b : o_.light.bands)
    if (!CoversAnyPixel(RectangleRegion(0, b.y0, o_.width - 1, b.y1), o_.width, o_.height))
      return OutsideImage("--band", BandValue(b));
  for (const RowPattern& p : o_.light.rowPatterns)
    if (!CoversAnyPixel(RectangleRegion(p.x0, p.y0, p.x1, p.y1), o_.width, o_.height))
      return OutsideImage("--row-pattern", RowPatternValue(p));
  for (const DimRegion& d : o_.light.dims)
    if (!CoversAnyPixel(RectangleRegion(d.x0, d.y0, d.x1, d.y1), o_.width, o_.height))
      return OutsideImage("--dim", DimValue(d));
  return true;
}

bool TruthRecordParser::OutsideImage(const std::string& name, const std::string& value) {
  return Fail(name + " " + value + " covers no pixel of the " + std::to_string(o_.width) + "x" +
              std::to_string(o_.height) + " image");
}

// The lines are read back as the options they were made from, so that a truth file is
// checked exactly as a command line is.
bool ReadTruthFile(const std::string& path, TruthRecord& record, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  if (!UsableTextInput(path, in, "truth file", error)) return false;
  TruthRecordParser parser(record);
  std::string line;
  bool fieldGiven = false;
  while (std::getline(in, line)) {
    if (Trim(line).empty()) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) {
      error = path + ": not a \"key = value\" line: " + line;
      return false;
    }
    const std::string key = Trim(line.substr(0, eq));
    fieldGiven = fieldGiven || key == "field";
    if (!parser.Apply("--" + key, Trim(line.substr(eq + 1)))) {
      error = path + ": " + parser.Error();
      return false;
    }
  }
  // Without its field a truth file would compare everything with a field at rest.
  if (!fieldGiven) {
    error = path + " holds no field (no \"field = ...\" line)";
    return false;
  }
  if (!parser.Finish()) {
    error = path + ": " + parser.Error();
    return false;
  }
  return true;
}
