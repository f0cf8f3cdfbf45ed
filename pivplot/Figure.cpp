#include "Figure.h"

#include <algorithm>

#include "ArrowPainter.h"
#include "ColourMap.h"
#include "FigureLayout.h"
#include "MaskLayer.h"
#include "Text.h"

namespace {

void SetColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

// Paints a raster with its top left corner on pixel (x, y).
void PaintRaster(cairo_t* cr, Raster& raster, int x, int y, double alpha) {
  cairo_set_source_surface(cr, raster.Surface(), x, y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint_with_alpha(cr, alpha);
}

void DrawPlotArea(cairo_t* cr, const FigureContent& content, const FigureLayout& layout) {
  cairo_save(cr);
  cairo_translate(cr, layout.plot_left, layout.plot_top);
  cairo_rectangle(cr, 0, 0, content.plot_width, content.plot_height);
  cairo_clip(cr);
  SetColour(cr, content.fill);
  cairo_paint(cr);
  if (content.background != nullptr) PaintRaster(cr, *content.background, 0, 0, 1);
  if (content.colour_layer != nullptr) PaintRaster(cr, *content.colour_layer, 0, 0, content.layer_opacity);
  if (content.mask_layer != nullptr) PaintRaster(cr, *content.mask_layer, 0, 0, kMaskOpacity);
  // Image pixel (i, j) covers [i, i + 1] x [j, j + 1] here: its centre is half a pixel on.
  cairo_translate(cr, 0.5, 0.5);
  PaintArrows(cr, content.arrows, content.halo);
  cairo_restore(cr);
}

// The frame round the plot area and the ticks of both axes, with their labels.
void DrawAxes(cairo_t* cr, const FigureContent& content, const FigureLayout& layout) {
  const double left = layout.plot_left, top = layout.plot_top;
  const double right = left + content.plot_width, bottom = top + content.plot_height;
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, left - 0.5, top - 0.5, content.plot_width + 1, content.plot_height + 1);
  for (double x : layout.x_ticks.values) {
    cairo_move_to(cr, left + x + 0.5, bottom + 1);
    cairo_line_to(cr, left + x + 0.5, bottom + 1 + kTickLength);
  }
  for (double y : layout.y_ticks.values) {
    cairo_move_to(cr, left - 1, top + y + 0.5);
    cairo_line_to(cr, left - 1 - kTickLength, top + y + 0.5);
  }
  cairo_stroke(cr);

  UseFont(cr, kTickFont);
  const double tick_height = LineHeight(cr);
  for (double x : layout.x_ticks.values)
    DrawText(cr, TickLabel(x, layout.x_ticks.step), left + x + 0.5,
             bottom + 1 + kTickLength + kTickGap + tick_height / 2, Align::Centre);
  for (double y : layout.y_ticks.values)
    DrawText(cr, TickLabel(y, layout.y_ticks.step), left - 1 - kTickLength - kTickGap, top + y + 0.5, Align::Right);
  UseFont(cr, kLabelFont);
  DrawText(cr, XAxisLabel(), (left + right) / 2, layout.x_label_y, Align::Centre);
  DrawUpwardText(cr, YAxisLabel(), layout.y_label_x, (top + bottom) / 2);
}

// The colour bar: the map from lo (bottom row) to hi (top row), ticks and the label.
void DrawColourBar(cairo_t* cr, const FigureContent& content, const FigureLayout& layout) {
  const ColourScale& scale = content.colour_scale;
  const int h = content.plot_height;
  Raster bar(kBarWidth, h);
  for (int row = 0; row < h; row++) {
    const Rgb colour = MapColour(scale.map, h > 1 ? 1.0 - static_cast<double>(row) / (h - 1) : 1.0);
    for (int x = 0; x < kBarWidth; x++) bar.Set(x, row, colour);
  }
  PaintRaster(cr, bar, layout.bar_left, layout.plot_top, 1);

  const double left = layout.bar_left, right = left + kBarWidth, top = layout.plot_top;
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, left - 0.5, top - 0.5, kBarWidth + 1, h + 1);
  std::vector<double> rows;
  for (double value : layout.bar_ticks.values) rows.push_back(top + (1 - scale.Position(value)) * (h - 1) + 0.5);
  for (double y : rows) {
    cairo_move_to(cr, right + 1, y);
    cairo_line_to(cr, right + 1 + kTickLength, y);
  }
  cairo_stroke(cr);
  UseFont(cr, kTickFont);
  for (size_t k = 0; k < rows.size(); k++)
    DrawText(cr, TickLabel(layout.bar_ticks.values[k], layout.bar_ticks.step), right + 1 + kTickLength + kTickGap,
             rows[k], Align::Left);
  UseFont(cr, kLabelFont);
  DrawUpwardText(cr, ColourBarLabel(scale), layout.bar_label_x, top + h / 2.0);
}

// The reference arrow under the plot's left end, drawn to the plot's scale, and its length.
void DrawReferenceArrow(cairo_t* cr, const FigureContent& content, const FigureLayout& layout) {
  const double length = content.reference_length * content.arrow_scale;
  const Point tail{static_cast<double>(layout.plot_left), layout.reference_y};
  PaintArrows(cr, {LayOutArrow(tail, content.reference_length, 0, content.arrow_scale, Rgb{0, 0, 0})}, false);
  cairo_set_source_rgb(cr, 0, 0, 0);
  UseFont(cr, kTickFont);
  DrawText(cr, ReferenceLabel(content.reference_length, content.reference_unit), tail.x + length + kReferenceGap, tail.y, Align::Left);
}

}  // namespace

void DrawFigure(cairo_t* cr, const FigureContent& content, const FigureLayout& layout) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  DrawPlotArea(cr, content, layout);
  if (!content.decorations) return;
  DrawAxes(cr, content, layout);
  if (content.colour_layer != nullptr) DrawColourBar(cr, content, layout);
  DrawReferenceArrow(cr, content, layout);
  cairo_set_source_rgb(cr, 0, 0, 0);
  UseFont(cr, kTitleFont);
  DrawText(cr, content.title, layout.title_x, layout.title_y, Align::Centre);
}
