// Text on the picture in DejaVu Sans (Debian's fonts-dejavu-core), sized in pixels and
// laid out without hinting, so that positions and bytes do not depend on the machine's
// font settings.
#ifndef PIVPLOT_TEXT_H
#define PIVPLOT_TEXT_H

#include <cairo.h>

#include <string>

enum class Align { Left, Centre, Right };

// text with every byte that is not part of a well-formed UTF-8 sequence replaced by '?'
// (cairo draws UTF-8 only): "caf\xe9" (Latin-1) becomes "caf?".
std::string ValidUtf8(const std::string& text);

// Selects the font at size px for the following text calls.
void UseFont(cairo_t* cr, double size);

// The advance width of text in the current font.
double TextWidth(cairo_t* cr, const std::string& text);

// The height of a line of the current font (ascent plus descent).
double LineHeight(cairo_t* cr);

// Draws text aligned horizontally on x; its ink is centred vertically on y.
void DrawText(cairo_t* cr, const std::string& text, double x, double y, Align align);

// Frees the fonts cairo and fontconfig keep for the whole run; called once at the end,
// after every cairo object is gone, so that leak checkers see a clean exit.
void ReleaseFonts();

// Draws text turned a quarter turn anticlockwise (reading upwards), centred on (x, y).
void DrawUpwardText(cairo_t* cr, const std::string& text, double x, double y);

#endif
