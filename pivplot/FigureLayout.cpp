#include "FigureLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Quantity.h"
#include "Text.h"

namespace {

constexpr int kPad = 10;       // around the whole figure
constexpr double kRowGap = 6;  // between rows of text
// Room per tick, so that labels never touch.
constexpr int kPixelsPerXTick = 70;
constexpr int kPixelsPerYTick = 50;
constexpr int kPixelsPerBarTick = 40;

double WidestLabel(cairo_t* cr, const Ticks& ticks) {
  double widest = 0;
  for (double value : ticks.values) widest = std::max(widest, TextWidth(cr, TickLabel(value, ticks.step)));
  return widest;
}

int Up(double length) { return static_cast<int>(std::ceil(length)); }

// A scratch context for measuring text in the figure's fonts.
class Measure {
 public:
  Measure() : surface_(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1)), cr_(cairo_create(surface_)) {}
  ~Measure() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  Measure(const Measure&) = delete;
  Measure& operator=(const Measure&) = delete;
  cairo_t* Context() const { return cr_; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

}  // namespace

const char* XAxisLabel() { return "x (px)"; }
const char* YAxisLabel() { return "y (px)"; }

std::string ColourBarLabel(const ColourScale& scale) {
  return scale.unit.empty() ? scale.name : scale.name + " (" + scale.unit + ")";
}

std::string ReferenceLabel(double length, const std::string& unit) {
  char text[48];
  snprintf(text, sizeof text, "%g ", length);
  return text + unit;
}

FigureLayout LayOutFigure(const FigureContent& content) {
  FigureLayout layout;
  const int w = content.plot_width, h = content.plot_height;
  if (!content.decorations) {
    layout.width = w;
    layout.height = h;
    return layout;
  }
  Measure measure;
  cairo_t* cr = measure.Context();

  layout.x_ticks = RoundTicks(0, w - 1, std::max(2, w / kPixelsPerXTick + 1));
  layout.y_ticks = RoundTicks(0, h - 1, std::max(2, h / kPixelsPerYTick + 1));
  UseFont(cr, kTickFont);
  const double tick_height = LineHeight(cr);
  const double y_labels = WidestLabel(cr, layout.y_ticks);
  const double last_x = layout.x_ticks.values.empty() ? 0 : layout.x_ticks.values.back();
  const double x_overhang =
      layout.x_ticks.values.empty() ? 0 : last_x + 0.5 + TextWidth(cr, TickLabel(last_x, layout.x_ticks.step)) / 2 - w;
  const std::string reference = ReferenceLabel(content.reference_length, content.reference_unit);
  const double reference_width =
      content.reference_length * content.arrow_scale + kReferenceGap + TextWidth(cr, reference);
  const bool bar = content.colour_layer != nullptr;
  double bar_labels = 0;
  if (bar) {
    const ColourScale& scale = content.colour_scale;
    // At least the ends and the middle, which a signed map always has.
    layout.bar_ticks = RoundTicks(scale.lo, scale.hi, std::max(3, h / kPixelsPerBarTick + 1));
    bar_labels = WidestLabel(cr, layout.bar_ticks);
  }
  UseFont(cr, kLabelFont);
  const double label_height = LineHeight(cr);
  // The y axis' and the bar's labels run upwards, centred on the plot's height; on a
  // short plot they reach beyond both ends, and the plot moves down so that they stay
  // clear of the title.
  const double bar_label_length = bar ? TextWidth(cr, ColourBarLabel(content.colour_scale)) : 0;
  const double upward = std::max(bar_label_length, TextWidth(cr, YAxisLabel()));
  const double overhang = std::max(0.0, (upward - h) / 2);
  UseFont(cr, kTitleFont);
  const double title_height = LineHeight(cr), title_width = TextWidth(cr, content.title);

  // The frame takes one pixel around the plot area.
  layout.plot_top = kPad + Up(title_height) + Up(kRowGap) + Up(overhang);
  layout.plot_left = kPad + Up(label_height + kRowGap + y_labels + kTickGap + kTickLength) + 1;
  int right = std::max(kPad, Up(x_overhang) + kPad / 2);
  if (bar)
    right = std::max(
        right, 1 + kBarGap + kBarWidth + 1 + Up(kTickLength + kTickGap + bar_labels + kRowGap + label_height) + kPad);
  const double below = 1 + kTickLength + kTickGap + tick_height + kRowGap + label_height + 2 * kRowGap;
  const double reference_row = std::max(tick_height, 2 * kTickLength);
  layout.width = layout.plot_left + w + right;
  layout.width = std::max(layout.width, Up(title_width) + 2 * kPad);
  layout.width = std::max(layout.width, layout.plot_left + Up(reference_width) + kPad);
  layout.height = layout.plot_top + h + Up(std::max(below + reference_row, overhang)) + kPad;

  layout.title_x = std::max(layout.plot_left + w / 2.0, kPad + title_width / 2);
  layout.title_x = std::min(layout.title_x, layout.width - kPad - title_width / 2);
  layout.title_y = kPad + title_height / 2;
  layout.x_label_y = layout.plot_top + h + 1 + kTickLength + kTickGap + tick_height + kRowGap + label_height / 2;
  layout.y_label_x = kPad + label_height / 2;
  layout.bar_left = layout.plot_left + w + 1 + kBarGap;
  layout.bar_label_x =
      layout.bar_left + kBarWidth + 1 + kTickLength + kTickGap + bar_labels + kRowGap + label_height / 2;
  layout.reference_y = layout.plot_top + h + below + reference_row / 2;
  return layout;
}
