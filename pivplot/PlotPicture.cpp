#include "PlotPicture.h"

#include <algorithm>
#include <memory>

#include "ArrowLayout.h"
#include "ColourLayer.h"
#include "Figure.h"
#include "FigureLayout.h"
#include "PictureFile.h"
#include "Text.h"
#include "Ticks.h"

namespace {

// The reference arrow is at most this fraction of the plot's width.
constexpr double kLongestReference = 0.5;

}  // namespace

long CountValid(const VectorField& field) {
  return std::count_if(field.vectors.begin(), field.vectors.end(), [](const VectorRecord& v) { return v.valid; });
}

std::string DefaultTitle(const std::string& dpiv, const VectorField& field) {
  return dpiv + ": " + std::to_string(CountValid(field)) + " of " + std::to_string(field.vectors.size()) +
         " vectors valid";
}

bool RenderPicture(const PlotOptions& options, const PictureJob& job, Picture& picture, std::string& error) {
  const bool map = options.colour != Quantity::None;
  std::unique_ptr<Raster> layer;
  if (map)
    layer = std::make_unique<Raster>(
        PaintColourLayer(*job.field, *job.quantity, job.colour_scale, job.plot_width, job.plot_height, options.cells));

  ArrowStyle style;
  style.scale = job.arrow_scale;
  style.every = options.every;
  style.show_rejected = options.show_rejected && !job.statistics;
  style.by_magnitude = options.by_magnitude;
  style.on_map = map;

  FigureContent content;
  content.plot_width = job.plot_width;
  content.plot_height = job.plot_height;
  content.background = job.background;
  content.fill = map ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
  content.colour_layer = layer.get();
  content.layer_opacity = job.background != nullptr ? options.opacity : 1.0;
  content.mask_layer = job.mask;
  content.colour_scale = job.colour_scale;
  content.arrows = LayOutArrows(*job.field, style);
  content.halo = map;
  content.decorations = options.decorations;
  content.title = ValidUtf8(job.title);
  content.arrow_scale = job.arrow_scale;
  content.reference_unit = job.units->vector;
  content.reference_length =
      RoundLengthBelow(std::min(job.largest, kLongestReference * job.plot_width / job.arrow_scale));

  const FigureLayout layout = LayOutFigure(content);
  PictureFile file(options.format, layout.width, layout.height, content.title, job.creation_date);
  DrawFigure(file.Context(), content, layout);
  if (!file.Finish(picture.bytes, error)) return false;
  picture.width = layout.width;
  picture.height = layout.height;
  return true;
}
