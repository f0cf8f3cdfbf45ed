// pivplot: draws the vector field of a DPIV file as arrows on a PNG (or SVG) picture,
// optionally over the image the field was measured on.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ArrowLayout.h"
#include "Background.h"
#include "DpivFile.h"
#include "GridGeometry.h"
#include "OutputFile.h"
#include "ImagePairFile.h"
#include "PlotOptions.h"
#include "PngFile.h"
#include "SvgFile.h"

namespace {

bool Fail(const std::string& error) {
  fprintf(stderr, "pivplot: %s\n", error.c_str());
  return false;
}

// The PNG picture: the background (or black) with the arrows drawn over it.
bool RenderPng(std::unique_ptr<Raster> background, int w, int h, const std::vector<Arrow>& arrows, std::string& png,
               std::string& error) {
  Raster picture = background ? std::move(*background) : Raster(w, h, Rgb{0, 0, 0});
  for (const Arrow& arrow : arrows)
    for (const Segment& s : arrow.strokes) picture.DrawLine(s.x0, s.y0, s.x1, s.y1, arrow.colour);
  return EncodePng(picture, png, error);
}

bool Plot(const PlotOptions& options) {
  std::string error;
  VectorField field;
  if (!ReadDpivFile(options.dpiv, field, error)) return Fail(error);

  std::unique_ptr<Raster> background;
  int w = 0, h = 0;
  if (!options.image.empty()) {
    background = LoadBackground(options.image, options.image_id, error);
    if (!background) return Fail(error);
    w = background->Width();
    h = background->Height();
    if (!ImageFitsGrid(field, w, h, error)) return Fail(error);
  } else {
    SmallestImage(field, w, h);
    if (w > kMaxImageSide || h > kMaxImageSide)
      return Fail("the grid needs a picture larger than " + std::to_string(kMaxImageSide) + " px a side");
  }

  const double scale = options.scale > 0 ? options.scale : AutoScale(field);
  const std::vector<Arrow> arrows = LayOutArrows(field, scale, options.by_magnitude);
  std::string bytes;
  const bool made = options.svg ? MakeSvg(background.get(), w, h, arrows, bytes, error)
                                : RenderPng(std::move(background), w, h, arrows, bytes, error);
  if (!made || !WriteWholeFile(options.output, bytes, error)) return Fail(error);

  int valid = 0;
  for (const VectorRecord& v : field.vectors) valid += v.valid ? 1 : 0;
  printf("scale: %g px per px of displacement (%s)\n", scale, options.scale > 0 ? "given" : "automatic");
  printf("valid vectors: %d\n", valid);
  printf("rejected vectors: %d\n", static_cast<int>(field.vectors.size()) - valid);
  printf("picture: %s (%d x %d px)\n", options.output.c_str(), w, h);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  PlotOptions options;
  std::string error;
  switch (ParsePlotOptions(args, options, error)) {
    case PlotParse::Help:
      fputs(PlotUsage(), stdout);
      return 0;
    case PlotParse::Error:
      fprintf(stderr, "pivplot: %s\n\n%s", error.c_str(), PlotUsage());
      return 2;
    case PlotParse::Run:
      break;
  }
  return Plot(options) ? 0 : 1;
}
