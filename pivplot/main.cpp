// pivplot: draws the vector fields of DPIV files and NetCDF field or statistics files as
// arrows on PNG, SVG or PDF pictures, optionally over the image the field was measured on
// and a colour map of a derived quantity or a variable of the file, with a title, axes, a
// colour bar and a reference arrow.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ArrowLayout.h"
#include "Background.h"
#include "ColourScale.h"
#include "DerivedField.h"
#include "DpivFile.h"
#include "FileIdentity.h"
#include "GridGeometry.h"
#include "OutputFile.h"
#include "ImagePairFile.h"
#include "MaskFile.h"
#include "MaskLayer.h"
#include "PlotInput.h"
#include "PlotOptions.h"
#include "PlotPicture.h"
#include "Text.h"

namespace {

bool Fail(const std::string& error) {
  fprintf(stderr, "pivplot: %s\n", error.c_str());
  return false;
}

// The file's modification time in UTC, ISO 8601: the PDF's creation date, so that the
// same input gives the same bytes.
std::string ModificationDate(const std::string& path) {
  struct stat info {};
  std::tm utc{};
  if (stat(path.c_str(), &info) != 0 || gmtime_r(&info.st_mtime, &utc) == nullptr) return "1970-01-01T00:00:00Z";
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The mask, and the file it came from for the messages.
struct MaskSource {
  std::string path;
  MaskImage pixels;
};

// Reads the mask; one line on the console tells what it holds.
bool LoadMask(const std::string& path, MaskSource& mask, std::string& error) {
  MaskFileKind kind;
  if (!ReadMaskFile(path, mask.pixels, kind, error)) return false;
  mask.path = path;
  printf("mask: %s (%s, %d x %d px, %lld pixels without flow)\n", path.c_str(), MaskFileKindName(kind),
         mask.pixels.Width(), mask.pixels.Height(), mask.pixels.MaskedCount());
  return true;
}

// The size of the plot area for a field: the image's, else the mask's, else the smallest
// image the grid fits.
bool PlotSize(const VectorField& field, const Raster* background, const MaskSource* mask, int& w, int& h,
              std::string& error) {
  if (background != nullptr) {
    w = background->Width();
    h = background->Height();
    return ImageFitsGrid(field, w, h, error);
  }
  if (mask != nullptr) {
    w = mask->pixels.Width();
    h = mask->pixels.Height();
    return ImageFitsGrid(field, w, h, error, "the mask " + mask->path);
  }
  SmallestImage(field, w, h);
  if (w <= kMaxImageSide && h <= kMaxImageSide) return true;
  error = "the grid needs a picture larger than " + std::to_string(kMaxImageSide) + " px a side";
  return false;
}

// Whether no picture would be written over a file the run reads (compared as files, so that
// "./run.b16" or a link is caught too); the reason in error when one would.
bool OutputsSpareInputs(const PlotOptions& options, std::string& error) {
  struct Input {
    std::string what, name;
  };
  std::vector<Input> inputs;
  for (const std::string& dpiv : options.dpiv) inputs.push_back({"DPIV file", dpiv});
  if (!options.image.empty()) inputs.push_back({"--image file", options.image});
  if (!options.mask.empty()) inputs.push_back({"--mask file", options.mask});
  for (const std::string& output : options.outputs) {
    for (const Input& input : inputs) {
      if (!SameFile(output.c_str(), input.name.c_str())) continue;
      error = "refusing to write " + output + ": it is the " + input.what + " " + input.name + " this run reads";
      return false;
    }
  }
  return true;
}

// The scale line's unit: "px of displacement" for a field in px.
std::string ScaleUnit(const PlotUnits& units) {
  return units.vector == PlotUnits().vector ? "px of displacement" : units.vector;
}

bool Plot(const PlotOptions& options) {
  std::string error;
  if (!OutputsSpareInputs(options, error)) return Fail(error);
  const size_t count = options.dpiv.size();
  // Every file is read and checked before any picture is written.
  std::vector<PlotInput> inputs(count);
  std::vector<ScalarGrid> grids(count, ScalarGrid(0, 0));
  std::vector<ColourQuantity> quantities(count);
  for (size_t k = 0; k < count; k++) {
    if (!ReadPlotInput(options.dpiv[k], options.step, options.colour_variable, inputs[k], grids[k], quantities[k],
                       error))
      return Fail(error);
    if (options.colour != Quantity::Variable) {
      grids[k] = DeriveQuantity(inputs[k].field, options.colour, inputs[k].units.px_per_length);
      quantities[k] = DescribeQuantity(options.colour, inputs[k].units);
    }
  }

  std::unique_ptr<Raster> background;
  if (!options.image.empty()) {
    background = LoadBackground(options.image, options.image_id, error);
    if (!background) return Fail(error);
  }
  std::optional<MaskSource> mask;
  std::optional<Raster> mask_layer;
  if (!options.mask.empty()) {
    if (!LoadMask(options.mask, mask.emplace(), error)) return Fail(error);
    const MaskImage& pixels = mask->pixels;
    if (background && (pixels.Width() != background->Width() || pixels.Height() != background->Height()))
      return Fail("the mask " + options.mask + " is " + std::to_string(pixels.Width()) + " x " +
                  std::to_string(pixels.Height()) + " px, but the image is " + std::to_string(background->Width()) +
                  " x " + std::to_string(background->Height()) + " px");
    mask_layer.emplace(PaintMaskLayer(pixels));
    if (!mask_layer->Ok()) return Fail("cannot hold the mask of " + options.mask);
  }
  std::vector<int> widths(count), heights(count);
  for (size_t k = 0; k < count; k++)
    if (!PlotSize(inputs[k].field, background.get(), mask ? &*mask : nullptr, widths[k], heights[k], error))
      return Fail(count > 1 ? options.dpiv[k] + ": " + error : error);

  std::vector<const ScalarGrid*> all_grids;
  std::vector<double> largest(count);
  for (size_t k = 0; k < count; k++) largest[k] = LargestValidMagnitude(inputs[k].field);
  for (const ScalarGrid& grid : grids) all_grids.push_back(&grid);
  // With --fixed-range, one colour range and one largest vector for the whole series.
  ColourQuantity common_quantity = quantities.front();
  if (options.colour == Quantity::Variable) common_quantity.is_signed = AnyNegative(all_grids);
  const ColourScale common_scale = ScaleSpanning(common_quantity, all_grids);
  const double largest_of_all = *std::max_element(largest.begin(), largest.end());

  for (size_t k = 0; k < count; k++) {
    const VectorField& field = inputs[k].field;
    PictureJob job;
    job.field = &field;
    job.units = &inputs[k].units;
    job.statistics = inputs[k].statistics;
    job.quantity = &grids[k];
    job.background = background.get();
    job.mask = mask_layer ? &*mask_layer : nullptr;
    job.plot_width = widths[k];
    job.plot_height = heights[k];
    job.colour_scale = options.fixed_range ? common_scale : ScaleSpanning(quantities[k], {&grids[k]});
    job.largest = options.fixed_range ? largest_of_all : largest[k];
    job.arrow_scale = options.scale > 0 ? options.scale : AutoScale(field, job.largest, options.every);
    job.title = options.title_given ? options.title : inputs[k].title;
    job.creation_date = ModificationDate(options.dpiv[k]);
    Picture picture;
    if (!RenderPicture(options, job, picture, error) || !WriteWholeFile(options.outputs[k], picture.bytes, error))
      return Fail(error);

    const long valid = CountValid(field);
    const long others = static_cast<long>(field.vectors.size()) - valid;
    printf("scale: %g px per %s (%s)\n", job.arrow_scale, ScaleUnit(inputs[k].units).c_str(),
           options.scale > 0 ? "given" : "automatic");
    if (inputs[k].statistics) {
      printf("points with a mean: %ld\n", valid);
      printf("points without a mean: %ld\n", others);
    } else {
      printf("valid vectors: %ld\n", valid);
      printf("rejected vectors: %ld\n", others);
    }
    printf("picture: %s (%d x %d px)\n", options.outputs[k].c_str(), picture.width, picture.height);
  }
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
  const bool plotted = Plot(options);
  ReleaseFonts();
  return plotted ? 0 : 1;
}
