// Reading back the names the formats write for their enumerations (field kinds, vortex
// profiles, schemes, ...): the value among those listed whose name the text is.
//
// Worked example: ParseName("shear", {FieldKind::Uniform, FieldKind::Shear}, FieldKindName,
// kind) sets kind to FieldKind::Shear and returns true; "Shear" returns false and leaves kind.
#ifndef FORMATS_ENUMNAMES_H
#define FORMATS_ENUMNAMES_H

#include <initializer_list>
#include <string>

template <typename Enum>
bool ParseName(const std::string& text, std::initializer_list<Enum> values, const char* (*name)(Enum), Enum& value) {
  for (const Enum v : values) {
    if (text == name(v)) {
      value = v;
      return true;
    }
  }
  return false;
}

#endif
