#include "Text.h"

#include <fontconfig/fontconfig.h>

#include <cmath>

namespace {

// The lead bytes of multi-byte UTF-8 sequences: lead & mask == value starts a sequence
// of length bytes, whose code point is at least lowest (shorter forms are overlong).
struct LeadByte {
  unsigned char mask, value;
  size_t length;
  unsigned lowest;
};
constexpr LeadByte kLeadBytes[] = {{0xe0, 0xc0, 2, 0x80}, {0xf0, 0xe0, 3, 0x800}, {0xf8, 0xf0, 4, 0x10000}};

// The length of the well-formed UTF-8 sequence at text[i], 0 if there is none.
size_t SequenceLength(const std::string& text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  for (const LeadByte& form : kLeadBytes) {
    if ((lead & form.mask) != form.value) continue;
    if (i + form.length > text.size()) return 0;
    unsigned code = lead & ~form.mask;
    for (size_t k = 1; k < form.length; k++) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return 0;
      code = code << 6 | (next & 0x3f);
    }
    const bool valid = code >= form.lowest && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
    return valid ? form.length : 0;
  }
  return 0;
}

}  // namespace

std::string ValidUtf8(const std::string& text) {
  std::string valid;
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    valid += length == 0 ? std::string("?") : text.substr(i, length);
    i += length == 0 ? 1 : length;
  }
  return valid;
}

void UseFont(cairo_t* cr, double size) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

double TextWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

double LineHeight(cairo_t* cr) {
  cairo_font_extents_t extents;
  cairo_font_extents(cr, &extents);
  return extents.ascent + extents.descent;
}

void DrawText(cairo_t* cr, const std::string& text, double x, double y, Align align) {
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  const double left = align == Align::Left     ? x
                      : align == Align::Centre ? x - extents.x_advance / 2
                                               : x - extents.x_advance;
  cairo_move_to(cr, left, y - extents.y_bearing - extents.height / 2);
  cairo_show_text(cr, text.c_str());
}

void DrawUpwardText(cairo_t* cr, const std::string& text, double x, double y) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, -M_PI / 2);
  DrawText(cr, text, 0, 0, Align::Centre);
  cairo_restore(cr);
}

void ReleaseFonts() {
  cairo_debug_reset_static_data();
  FcFini();
}
