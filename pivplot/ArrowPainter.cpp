#include "ArrowPainter.h"

namespace {

constexpr double kShaftWidth = 1.0;
constexpr double kHaloWidth = 1.0;  // on each side of the arrow's outline
constexpr double kHaloAlpha = 0.7;

void ArrowPath(cairo_t* cr, const Arrow& arrow) {
  cairo_move_to(cr, arrow.tail.x, arrow.tail.y);
  cairo_line_to(cr, arrow.shaft_end.x, arrow.shaft_end.y);
}

void HeadPath(cairo_t* cr, const Arrow& arrow) {
  cairo_move_to(cr, arrow.head[0].x, arrow.head[0].y);
  cairo_line_to(cr, arrow.head[1].x, arrow.head[1].y);
  cairo_line_to(cr, arrow.head[2].x, arrow.head[2].y);
  cairo_close_path(cr);
}

void PaintHalo(cairo_t* cr, const Arrow& arrow) {
  // One stroke per arrow, so that its shaft's and head's halos do not add up.
  cairo_set_source_rgba(cr, 1, 1, 1, kHaloAlpha);
  cairo_set_line_width(cr, kShaftWidth + 2 * kHaloWidth);
  ArrowPath(cr, arrow);
  if (arrow.has_head) HeadPath(cr, arrow);
  cairo_stroke(cr);
}

void PaintArrow(cairo_t* cr, const Arrow& arrow) {
  cairo_set_source_rgb(cr, arrow.colour.r / 255.0, arrow.colour.g / 255.0, arrow.colour.b / 255.0);
  cairo_set_line_width(cr, kShaftWidth);
  ArrowPath(cr, arrow);
  cairo_stroke(cr);
  if (arrow.has_head) {
    HeadPath(cr, arrow);
    cairo_fill(cr);
  }
}

}  // namespace

void PaintArrows(cairo_t* cr, const std::vector<Arrow>& arrows, bool halo) {
  cairo_save(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  // All halos first, so that no halo covers a neighbouring arrow.
  if (halo)
    for (const Arrow& arrow : arrows) PaintHalo(cr, arrow);
  for (const Arrow& arrow : arrows) PaintArrow(cr, arrow);
  cairo_restore(cr);
}
