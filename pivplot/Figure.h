// What one picture shows: the plot area (one pixel per image pixel: the image or a plain
// fill, the colour map, the arrows) and, unless bare, the decorations around it: a title
// above, axes with pixel ticks, a colour bar on the right and a reference arrow below.
#ifndef PIVPLOT_FIGURE_H
#define PIVPLOT_FIGURE_H

#include <cairo.h>

#include <string>
#include <vector>

#include "ArrowLayout.h"
#include "ColourScale.h"
#include "Raster.h"

struct FigureContent {
  int plot_width = 0, plot_height = 0;
  Raster* background = nullptr;    // the image, or null for a plain fill
  Rgb fill{0, 0, 0};               // the plot area's colour without an image
  Raster* colour_layer = nullptr;  // the colour map, or null
  double layer_opacity = 1;
  Raster* mask_layer = nullptr;    // the pixels without flow, or null (see MaskLayer.h)
  ColourScale colour_scale;        // the colour layer's values
  std::vector<Arrow> arrows;       // in image pixel coordinates
  bool halo = false;               // draw the arrows over a white halo
  bool decorations = true;
  std::string title;
  double reference_length = 1;     // displacement of the reference arrow
  std::string reference_unit = "px";  // its unit
  double arrow_scale = 1;          // arrow pixels per pixel of displacement
};

struct FigureLayout;

// Draws the whole figure; cr's surface must have the layout's size.
void DrawFigure(cairo_t* cr, const FigureContent& content, const FigureLayout& layout);

#endif
