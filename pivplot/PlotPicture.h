// One picture of one field as pivplot's options ask for it: the figure's content put
// together from the field, its derived quantity, the background and the scales, drawn
// into a PNG, SVG or PDF file held in memory.
#ifndef PIVPLOT_PLOTPICTURE_H
#define PIVPLOT_PLOTPICTURE_H

#include <string>

#include "ColourScale.h"
#include "DerivedField.h"
#include "DpivFile.h"
#include "PlotOptions.h"
#include "PlotUnits.h"
#include "Raster.h"

struct PictureJob {
  const VectorField* field = nullptr;
  const PlotUnits* units = nullptr;       // the field's units
  bool statistics = false;                // a mean field: points without a mean are not drawn
  const ScalarGrid* quantity = nullptr;   // the colour map's values (options.colour)
  Raster* background = nullptr;           // the image, or null
  Raster* mask = nullptr;                 // the mask layer, or null
  int plot_width = 0, plot_height = 0;    // the image's size
  ColourScale colour_scale;
  double arrow_scale = 1;
  double largest = 0;                     // the largest valid displacement the scale is for
  std::string title;
  std::string creation_date;              // ISO 8601, for the PDF's metadata
};

struct Picture {
  std::string bytes;
  int width = 0, height = 0;
};

// Draws the picture; false with the reason in error on failure.
bool RenderPicture(const PlotOptions& options, const PictureJob& job, Picture& picture, std::string& error);

// The number of valid vectors of the field.
long CountValid(const VectorField& field);

// The default title: "run.dpiv: 900 of 961 vectors valid".
std::string DefaultTitle(const std::string& dpiv, const VectorField& field);

#endif
