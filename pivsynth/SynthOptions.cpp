#include "SynthOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

// Largest file the analysis can address with its 32-bit offsets.
const double kMaxFileBytes = 2147483647.0;
const double kMaxDiameter = 100.0;
const double kMaxDensity = 1.0;

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

class Parser {
 public:
  explicit Parser(SynthOptions& o) : o_(o) {}
  bool Apply(const std::string& name, const std::string& value);
  bool Finish();
  const std::string& Error() const { return error_; }

 private:
  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }
  bool NotNumber(const std::string& name, const std::string& value) {
    return Fail(name + ": '" + value + "' is not a number");
  }
  bool Number(const std::string& name, const std::string& value, double& target) {
    return ParseDouble(value, target) || NotNumber(name, value);
  }
  bool Size(const std::string& value);
  bool Center(const std::string& value);

  SynthOptions& o_;
  std::string error_;
  std::vector<std::string> fieldParameters_;  // given field parameters, for Finish
  bool centerGiven_ = false;
};

bool Parser::Size(const std::string& value) {
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

bool Parser::Center(const std::string& value) {
  std::string x, y;
  if (!SplitPair(value, ',', x, y) || !ParseDouble(x, o_.field.cx) || !ParseDouble(y, o_.field.cy))
    return Fail("--center: '" + value + "' is not of the form X,Y");
  centerGiven_ = true;
  return true;
}

bool Parser::Apply(const std::string& name, const std::string& value) {
  const std::string parameters[] = {"--dx", "--dy", "--omega", "--center", "--profile", "--gamma", "--core", "--shear"};
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
           Fail("--field: '" + value + "' is not one of uniform, rotation, vortex, shear");
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
  if (name == "--noise") {
    if (!Number(name, value, o_.noise)) return false;
    return (o_.noise >= 0.0 && o_.noise <= 4095.0) || Fail("--noise: must be between 0 and 4095 counts");
  }
  if (name == "--seed") {
    return ParseSeed(value, o_.seed) || Fail("--seed: '" + value + "' is not a whole number from 0 to 2^64-1");
  }
  if (name == "--out") {
    o_.out = value;
    return !value.empty() || Fail("--out: the file name is empty");
  }
  return Fail("unknown option '" + name + "'");
}

bool Parser::Finish() {
  static const FieldParameter kOwners[] = {
      {"--dx", Bit(FieldKind::Uniform)},
      {"--dy", Bit(FieldKind::Uniform)},
      {"--omega", Bit(FieldKind::Rotation)},
      {"--center", Bit(FieldKind::Rotation) | Bit(FieldKind::Vortex) | Bit(FieldKind::Shear)},
      {"--profile", Bit(FieldKind::Vortex)},
      {"--gamma", Bit(FieldKind::Vortex)},
      {"--core", Bit(FieldKind::Vortex)},
      {"--shear", Bit(FieldKind::Shear)},
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
  return true;
}

}  // namespace

ParseOutcome ParseOptions(const std::vector<std::string>& args, SynthOptions& options, std::string& error) {
  Parser parser(options);
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--help" || arg == "-h") return ParseOutcome::Help;
    if (arg.compare(0, 2, "--") != 0) {
      error = "unexpected argument '" + arg + "'";
      return ParseOutcome::Error;
    }
    std::string name = arg, value;
    const size_t eq = arg.find('=');
    if (eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    } else if (k + 1 < args.size()) {
      value = args[++k];
    } else {
      error = "option " + name + " needs a value";
      return ParseOutcome::Error;
    }
    if (!parser.Apply(name, value)) {
      error = parser.Error();
      return ParseOutcome::Error;
    }
  }
  if (!parser.Finish()) {
    error = parser.Error();
    return ParseOutcome::Error;
  }
  return ParseOutcome::Run;
}

const char* UsageText() {
  return "Usage: pivsynth [options]\n"
         "Writes pairs of synthetic particle images, moved by a known displacement field,\n"
         "into an image-pair file, and the field's parameters into FILE.truth.\n"
         "\n"
         "Options (defaults in brackets):\n"
         "  --size WxH        image width and height in pixels, 1 to 5000 [256x256]\n"
         "  --pairs N         number of image pairs; pair k is images 2k-1, 2k [1]\n"
         "  --field KIND      uniform, rotation, vortex or shear [uniform]\n"
         "  --dx PX           uniform: displacement along x (columns) in pixels [0]\n"
         "  --dy PX           uniform: displacement along y (rows) in pixels [0]\n"
         "  --omega RAD       rotation: angle per frame in radians [0]\n"
         "  --center X,Y      rotation, vortex, shear: centre in pixels [image centre]\n"
         "  --profile KIND    vortex: rankine or lamb-oseen [lamb-oseen]\n"
         "  --gamma G         vortex: circulation in square pixels per frame [0]\n"
         "  --core R          vortex: core radius in pixels [10]\n"
         "  --shear S         shear: du/dy, x displacement per pixel of y [0]\n"
         "  --diameter D      particle image diameter (e^-2) in pixels, up to 100 [2.5]\n"
         "  --density P       particles per pixel, 0 to 1 [0.02]\n"
         "  --noise S         std dev of additive Gaussian noise in counts [0]\n"
         "  --seed N          random seed, 0 to 2^64-1 [1]\n"
         "  --out FILE        image-pair file to write [synth.b16]\n"
         "  --help            show this text and exit\n"
         "\n"
         "Displacements are evaluated at each particle's first-image position.\n";
}
