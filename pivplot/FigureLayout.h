// Where the parts of a figure go. The plot area keeps one pixel per image pixel; the
// margins grow to fit the text measured in the figure's fonts. Example: a 512 x 512 image
// with a vorticity bar gets x and y ticks 0, 100, ... 500, bar ticks -0.04 to 0.04 every
// 0.01 for values up to 0.042, and a picture of 669 x 621 px; without decorations the
// picture is the image's 512 x 512.
#ifndef PIVPLOT_FIGURELAYOUT_H
#define PIVPLOT_FIGURELAYOUT_H

#include "Figure.h"
#include "Ticks.h"

// Font sizes in pixels.
constexpr double kTickFont = 11;
constexpr double kLabelFont = 12;
constexpr double kTitleFont = 14;
// Lengths in pixels.
constexpr double kTickLength = 4;
constexpr double kTickGap = 3;     // from a tick to its label
constexpr int kBarGap = 14;        // from the plot's frame to the colour bar
constexpr int kBarWidth = 16;
constexpr double kReferenceGap = 6;  // from the reference arrow to its label

struct FigureLayout {
  int width = 0, height = 0;         // the whole picture
  int plot_left = 0, plot_top = 0;   // the plot area's top left pixel
  int bar_left = 0;                  // the colour bar's first column
  Ticks x_ticks, y_ticks, bar_ticks;
  double title_x = 0, title_y = 0;   // centre of the title
  double x_label_y = 0;              // centre of the x axis label (centred on the plot)
  double y_label_x = 0;              // centre of the y axis label (centred on the plot)
  double bar_label_x = 0;            // centre of the colour bar label (centred on the bar)
  double reference_y = 0;            // the reference arrow's line
};

// Measures the figure's text and places every part.
FigureLayout LayOutFigure(const FigureContent& content);

// The text of the axis labels, of the colour bar label and of the reference arrow.
const char* XAxisLabel();
const char* YAxisLabel();
std::string ColourBarLabel(const ColourScale& scale);
std::string ReferenceLabel(double length, const std::string& unit);

#endif
