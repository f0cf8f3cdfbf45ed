#include "TruthFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
  }
  return text;
}

}  // namespace

std::string TruthText(const SynthOptions& o) {
  return FieldLines(o.field) + Line("size", std::to_string(o.width) + "x" + std::to_string(o.height)) +
         Line("pairs", std::to_string(o.pairs)) + Line("diameter", o.diameter) + Line("density", o.density) +
         Line("noise", o.noise) + Line("seed", std::to_string(o.seed));
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}
