// pivplot's pieces, checked on hand-made numbers and on pivsynth's known fields: the
// derived quantities (exact for linear fields, blank where a stencil lacks a valid
// vector), the colour maps' ends and centre, the colour range, the colour layer's cells
// and interpolation, round ticks and the arrows' geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ArrowLayout.h"
#include "ColourLayer.h"
#include "ColourMap.h"
#include "ColourScale.h"
#include "DerivedField.h"
#include "DisplacementField.h"
#include "DpivFile.h"
#include "FigureLayout.h"
#include "TestSupport.h"
#include "Text.h"
#include "Ticks.h"

// Found by gtest through the argument's namespace, the global one.
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
  return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

namespace {

// A grid of nx x ny points spacing apart from (15, 15) on, each vector the pivsynth
// field's displacement at the point; all valid.
VectorField SampledField(const DisplacementField& truth, int nx, int ny, double spacing) {
  VectorField field;
  field.nx = nx;
  field.ny = ny;
  field.x0 = field.y0 = 15;
  field.delx = field.dely = spacing;
  for (int j = 0; j < ny; j++)
    for (int i = 0; i < nx; i++) {
      const double x = 15 + i * spacing, y = 15 + j * spacing;
      const Displacement d = DisplacementAt(truth, x, y);
      field.vectors.push_back({true, x, y, d.dx, d.dy, 1});
    }
  return field;
}

void ExpectEverywhere(const ScalarGrid& grid, double expected, double tolerance, const std::string& what) {
  for (int j = 0; j < grid.Ny(); j++)
    for (int i = 0; i < grid.Nx(); i++) {
      ASSERT_TRUE(grid.Defined(i, j)) << what << " at " << i << ", " << j;
      EXPECT_NEAR(grid.Value(i, j), expected, tolerance) << what << " at " << i << ", " << j;
    }
}

TEST(PivplotDerivedField, SolidRotationHasVorticityTwiceOmegaAndNoDivergence) {
  DisplacementField rotation;
  rotation.kind = FieldKind::Rotation;
  rotation.omega = 0.02;
  rotation.cx = 100;
  rotation.cy = 80;
  const VectorField field = SampledField(rotation, 9, 7, 16);
  // Central differences inside and one-sided ones at the border are exact for it.
  ExpectEverywhere(DeriveQuantity(field, Quantity::Vorticity), 0.04, 1e-12, "vorticity");
  ExpectEverywhere(DeriveQuantity(field, Quantity::Divergence), 0, 1e-12, "divergence");
  // With coordinates in a unit of 20 px (a calibrated file), derivatives are per that unit.
  ExpectEverywhere(DeriveQuantity(field, Quantity::Vorticity, 20), 0.8, 1e-12, "vorticity per unit");
  // Speed is omega r: at the first point r = hypot(85, 65).
  const ScalarGrid speed = DeriveQuantity(field, Quantity::Speed);
  EXPECT_NEAR(speed.Value(0, 0), 0.02 * std::hypot(85, 65), 1e-12);
  const ScalarGrid u = DeriveQuantity(field, Quantity::U), v = DeriveQuantity(field, Quantity::V);
  EXPECT_NEAR(u.Value(0, 0), -0.02 * (15 - 80), 1e-12);
  EXPECT_NEAR(v.Value(0, 0), 0.02 * (15 - 100), 1e-12);
}

TEST(PivplotDerivedField, UniformShiftAndShear) {
  DisplacementField shift;
  shift.dx = 2.3;
  shift.dy = -1.2;
  const VectorField uniform = SampledField(shift, 5, 4, 16);
  ExpectEverywhere(DeriveQuantity(uniform, Quantity::Vorticity), 0, 1e-12, "vorticity");
  ExpectEverywhere(DeriveQuantity(uniform, Quantity::Divergence), 0, 1e-12, "divergence");

  // u = 0.05 (y - cy): vorticity dv/dx - du/dy = -0.05.
  DisplacementField shear;
  shear.kind = FieldKind::Shear;
  shear.shear = 0.05;
  shear.cy = 40;
  const VectorField sheared = SampledField(shear, 5, 4, 16);
  ExpectEverywhere(DeriveQuantity(sheared, Quantity::Vorticity), -0.05, 1e-12, "vorticity");
  ExpectEverywhere(DeriveQuantity(sheared, Quantity::Divergence), 0, 1e-12, "divergence");
}

TEST(PivplotDerivedField, BorderDifferencesAreSecondOrder) {
  // v = x^2 / 100 along 4 columns at x = 15, 31, 47, 63: dv/dx = x / 50 exactly, also at
  // both ends, where a first-order difference would give (31^2 - 15^2) / 1600 = 0.46.
  VectorField field;
  field.nx = 4;
  field.ny = 2;
  field.x0 = field.y0 = 15;
  field.delx = field.dely = 16;
  for (int j = 0; j < 2; j++)
    for (int i = 0; i < 4; i++) {
      const double x = 15 + 16 * i;
      field.vectors.push_back({true, x, 15.0 + 16 * j, 0, x * x / 100, 1});
    }
  const ScalarGrid vorticity = DeriveQuantity(field, Quantity::Vorticity);
  for (int i = 0; i < 4; i++) EXPECT_NEAR(vorticity.Value(i, 0), (15 + 16 * i) / 50.0, 1e-12) << i;

  // Two columns: the plain difference, (31^2 - 15^2) / 100 / 16 = 0.46 at both.
  VectorField two;
  two.nx = 2;
  two.ny = 1;
  two.x0 = two.y0 = 15;
  two.delx = 16;
  two.vectors = {{true, 15, 15, 0, 2.25, 1}, {true, 31, 15, 0, 9.61, 1}};
  const ScalarGrid row = DeriveQuantity(two, Quantity::Vorticity);
  // A single row has no du/dy: vorticity is undefined, speed is not.
  EXPECT_FALSE(row.Defined(0, 0));
  EXPECT_TRUE(DeriveQuantity(two, Quantity::Speed).Defined(0, 0));
  two.ny = 2;
  two.dely = 16;
  two.vectors.insert(two.vectors.end(), {{true, 15, 31, 0, 2.25, 1}, {true, 31, 31, 0, 9.61, 1}});
  const ScalarGrid square = DeriveQuantity(two, Quantity::Vorticity);
  for (int i = 0; i < 2; i++) EXPECT_NEAR(square.Value(i, 0), 0.46, 1e-12) << i;
}

TEST(PivplotDerivedField, PointsWhoseStencilLacksAValidVectorAreBlank) {
  DisplacementField rotation;
  rotation.kind = FieldKind::Rotation;
  rotation.omega = 0.01;
  VectorField field = SampledField(rotation, 5, 5, 16);
  field.vectors[2 * 5 + 2].valid = false;  // the centre
  field.vectors[2 * 5 + 0].valid = false;  // the left end of the same row
  const ScalarGrid vorticity = DeriveQuantity(field, Quantity::Vorticity);
  const ScalarGrid speed = DeriveQuantity(field, Quantity::Speed);
  // Blank: the centre's neighbours along its row and column, whose central differences
  // use it, and the ends of its row and column, whose one-sided ones (3 points) do; the
  // left end itself and its column's points, whose stencils reach it.
  const std::vector<std::pair<int, int>> blank = {{1, 2}, {3, 2}, {2, 1}, {2, 3}, {4, 2}, {2, 0},
                                                  {2, 4}, {0, 2}, {0, 0}, {0, 1}, {0, 3}, {0, 4}};
  int defined = 0;
  for (int j = 0; j < 5; j++)
    for (int i = 0; i < 5; i++) {
      bool expected_blank = false;
      for (const auto& b : blank) expected_blank |= b.first == i && b.second == j;
      EXPECT_EQ(vorticity.Defined(i, j), !expected_blank) << i << ", " << j;
      if (vorticity.Defined(i, j)) {
        EXPECT_NEAR(vorticity.Value(i, j), 0.02, 1e-12) << i << ", " << j;
        defined++;
      }
      EXPECT_EQ(speed.Defined(i, j), !((i == 2 || i == 0) && j == 2)) << i << ", " << j;
    }
  // The centre itself keeps a value: its central stencils skip it.
  EXPECT_TRUE(vorticity.Defined(2, 2));
  EXPECT_EQ(defined, 25 - 12);
  const ScalarGrid none = DeriveQuantity(field, Quantity::None);
  EXPECT_FALSE(none.Defined(1, 1));
}

TEST(PivplotDerivedField, MeasuredRotationAndShiftMatchTheTruthInside) {
  // pivsynth -> tarvex (three-point Gaussian with mean subtraction) -> the DPIV reader.
  TempDir dir;
  struct Case {
    std::vector<std::string> field;
    double vorticity;
  };
  const Case cases[] = {{{"--field", "rotation", "--omega", "0.02"}, 0.04}, {{"--dx", "2.3", "--dy", "-1.2"}, 0}};
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--size", "256x256", "--out", "pair.b16"};
    args.insert(args.end(), c.field.begin(), c.field.end());
    ASSERT_EQ(RunProgram("pivsynth", args, dir.path()).status, 0);
    const RunResult analysis =
        RunProgram("tarvex", {"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-meansub", "pair.b16"},
                   dir.path(), "1 2\n");
    ASSERT_EQ(analysis.status, 0) << analysis.out;
    VectorField field;
    std::string error;
    ASSERT_TRUE(ReadDpivFile(dir.file("pair.dpiv"), field, error)) << error;
    const ScalarGrid vorticity = DeriveQuantity(field, Quantity::Vorticity);
    const ScalarGrid divergence = DeriveQuantity(field, Quantity::Divergence);
    // The mean matches closely; single points scatter with the measurement (a standard
    // deviation near 0.004 here), each within 0.02.
    double sum_w = 0, sum_d = 0;
    int count = 0;
    for (int j = 1; j + 1 < field.ny; j++)
      for (int i = 1; i + 1 < field.nx; i++)
        if (vorticity.Defined(i, j)) {
          sum_w += vorticity.Value(i, j);
          sum_d += divergence.Value(i, j);
          EXPECT_NEAR(vorticity.Value(i, j), c.vorticity, 0.02) << c.field[1] << " at " << i << ", " << j;
          count++;
        }
    // 15 x 15 points, the last row and column never measured: 12 x 12 inside them.
    ASSERT_GE(count, 140) << c.field[1];
    EXPECT_NEAR(sum_w / count, c.vorticity, 0.002) << c.field[1];
    EXPECT_NEAR(sum_d / count, 0, 0.002) << c.field[1];
  }
}

// CIELAB lightness L* (0 black to 100 white) of an sRGB colour.
double Lightness(Rgb c) {
  auto linear = [](int v) {
    const double f = v / 255.0;
    return f <= 0.04045 ? f / 12.92 : std::pow((f + 0.055) / 1.055, 2.4);
  };
  const double y = 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
  return y > 216.0 / 24389 ? 116 * std::cbrt(y) - 16 : y * 24389.0 / 27;
}

TEST(PivplotColourMap, EndsCentreAndInterpolation) {
  EXPECT_EQ(MapColour(ColourMap::Viridis, 0), (Rgb{68, 1, 84}));
  EXPECT_EQ(MapColour(ColourMap::Viridis, 1), (Rgb{253, 231, 37}));
  // Halfway between the first two entries, (0.267004, 0.004874, 0.329415) and
  // (0.268510, 0.009605, 0.335427), times 255.
  EXPECT_EQ(MapColour(ColourMap::Viridis, 0.5 / 255), (Rgb{68, 2, 85}));
  EXPECT_EQ(MapColour(ColourMap::CoolWarm, 0), (Rgb{59, 76, 192}));
  EXPECT_EQ(MapColour(ColourMap::CoolWarm, 0.5), (Rgb{221, 221, 221}));
  EXPECT_EQ(MapColour(ColourMap::CoolWarm, 1), (Rgb{180, 4, 38}));
  // Outside [0, 1] the ends; NaN the low end.
  EXPECT_EQ(MapColour(ColourMap::CoolWarm, -3), (Rgb{59, 76, 192}));
  EXPECT_EQ(MapColour(ColourMap::CoolWarm, 7), (Rgb{180, 4, 38}));
  EXPECT_EQ(MapColour(ColourMap::Viridis, std::nan("")), (Rgb{68, 1, 84}));
  // Perceptual order: viridis grows steadily lighter (CIELAB L*); the cool-warm map is
  // lightest at its centre and equally light at equal distances on either side.
  double previous = -1;
  for (int k = 0; k <= 10; k++) {
    const double l = Lightness(MapColour(ColourMap::Viridis, k / 10.0));
    EXPECT_GT(l, previous + 5) << k;
    previous = l;
  }
  const double centre = Lightness(MapColour(ColourMap::CoolWarm, 0.5));
  for (double d : {0.1, 0.25, 0.4, 0.5}) {
    const double cool = Lightness(MapColour(ColourMap::CoolWarm, 0.5 - d));
    const double warm = Lightness(MapColour(ColourMap::CoolWarm, 0.5 + d));
    EXPECT_NEAR(cool, warm, 1.5) << d;
    EXPECT_LT(cool, centre - 10 * d) << d;
  }
}

TEST(PivplotColourScale, SignedQuantitiesAreCentredAtZero) {
  ScalarGrid grid(3, 1);
  grid.Set(0, 0, -0.02);
  grid.Set(1, 0, 0.05);  // (2, 0) stays undefined
  const ColourScale vorticity = ScaleSpanning(DescribeQuantity(Quantity::Vorticity, PlotUnits()), {&grid});
  EXPECT_EQ(vorticity.map, ColourMap::CoolWarm);
  EXPECT_DOUBLE_EQ(vorticity.lo, -0.05);
  EXPECT_DOUBLE_EQ(vorticity.hi, 0.05);
  EXPECT_DOUBLE_EQ(vorticity.Position(-0.02), 0.3);
  EXPECT_EQ(vorticity.ColourOf(0), (Rgb{221, 221, 221}));
  EXPECT_EQ(vorticity.ColourOf(0.05), (Rgb{180, 4, 38}));

  ScalarGrid speeds(2, 1);
  speeds.Set(0, 0, 1.5);
  speeds.Set(1, 0, 3);
  const ColourScale speed = ScaleSpanning(DescribeQuantity(Quantity::Speed, PlotUnits()), {&speeds});
  EXPECT_EQ(speed.map, ColourMap::Viridis);
  EXPECT_DOUBLE_EQ(speed.lo, 0);
  EXPECT_DOUBLE_EQ(speed.hi, 3);
  // A common range spans every grid.
  const ColourScale both = ScaleSpanning(DescribeQuantity(Quantity::U, PlotUnits()), {&grid, &speeds});
  EXPECT_DOUBLE_EQ(both.lo, -3);
  EXPECT_DOUBLE_EQ(both.hi, 3);
  // Nothing defined, or nothing but 0: a range of 1.
  const ScalarGrid empty(2, 2);
  EXPECT_DOUBLE_EQ(ScaleSpanning(DescribeQuantity(Quantity::Divergence, PlotUnits()), {&empty}).lo, -1);
  EXPECT_DOUBLE_EQ(ScaleSpanning(DescribeQuantity(Quantity::Speed, PlotUnits()), {&empty}).hi, 1);
}

TEST(PivplotColourLayer, CellsAndBilinearValues) {
  // Points at x = 15 and 31 on one row: values 0 and 1 on a 0-to-1 viridis scale.
  VectorField field;
  field.nx = 2;
  field.ny = 1;
  field.x0 = field.y0 = 15;
  field.delx = 16;
  field.vectors = {{true, 15, 15, 0, 0, 1}, {true, 31, 15, 0, 0, 1}};
  ScalarGrid grid(2, 1);
  grid.Set(0, 0, 0);
  grid.Set(1, 0, 1);
  ColourScale scale;
  scale.name = "speed";
  // The alpha and the colour of a pixel.
  auto colour = [](const Raster& layer, int x, int y) {
    const uint32_t word = layer.Pixel(x, y);
    return std::pair<uint32_t, Rgb>{word >> 24,
                                    Rgb{static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 8),
                                        static_cast<unsigned char>(word)}};
  };
  const Rgb low = MapColour(ColourMap::Viridis, 0), high = MapColour(ColourMap::Viridis, 1);
  // A single row's cells are one spacing (16 px) high too: rows 7 to 22.
  const Raster cells = PaintColourLayer(field, grid, scale, 48, 32, true);
  EXPECT_EQ(colour(cells, 6, 15).first, 0u);  // left of the first cell
  EXPECT_EQ(colour(cells, 7, 15).second, low);
  EXPECT_EQ(colour(cells, 22, 15).second, low);
  EXPECT_EQ(colour(cells, 23, 15).second, high);
  EXPECT_EQ(colour(cells, 38, 15).second, high);
  EXPECT_EQ(colour(cells, 39, 15).first, 0u);
  EXPECT_EQ(colour(cells, 20, 6).first, 0u);
  EXPECT_EQ(colour(cells, 20, 7).first, 255u);
  EXPECT_EQ(colour(cells, 20, 22).first, 255u);
  EXPECT_EQ(colour(cells, 20, 23).first, 0u);

  const Raster smooth = PaintColourLayer(field, grid, scale, 48, 32, false);
  EXPECT_EQ(colour(smooth, 23, 15).second, MapColour(ColourMap::Viridis, 0.5));
  EXPECT_EQ(colour(smooth, 19, 15).second, MapColour(ColourMap::Viridis, 0.25));
  EXPECT_EQ(colour(smooth, 10, 15).second, low);  // beyond the first point: its value
  EXPECT_EQ(colour(smooth, 36, 15).second, high);
  EXPECT_EQ(colour(smooth, 39, 15).first, 0u);

  // An undefined point leaves its cell blank; its neighbour's smooth values then come
  // from the defined points alone.
  ScalarGrid partial(2, 1);
  partial.Set(1, 0, 1);
  const Raster gap = PaintColourLayer(field, partial, scale, 48, 32, false);
  EXPECT_EQ(colour(gap, 22, 15).first, 0u);
  EXPECT_EQ(colour(gap, 23, 15).second, high);
}

TEST(PivplotTicks, RoundStepsAndLabels) {
  const Ticks pixels = RoundTicks(0, 511, 6);
  EXPECT_DOUBLE_EQ(pixels.step, 100);
  EXPECT_EQ(pixels.values, (std::vector<double>{0, 100, 200, 300, 400, 500}));
  const Ticks small = RoundTicks(0, 63, 2);
  EXPECT_EQ(small.values, (std::vector<double>{0, 50}));
  const Ticks signed_ticks = RoundTicks(-0.047, 0.047, 5);
  EXPECT_DOUBLE_EQ(signed_ticks.step, 0.02);
  ASSERT_EQ(signed_ticks.values.size(), 5u);
  std::vector<std::string> labels;
  for (double v : signed_ticks.values) labels.push_back(TickLabel(v, signed_ticks.step));
  EXPECT_EQ(labels, (std::vector<std::string>{"-0.04", "-0.02", "0.00", "0.02", "0.04"}));
  EXPECT_EQ(TickLabel(-1e-18, 0.5), "0.0");
  EXPECT_EQ(TickLabel(300, 100), "300");
  EXPECT_TRUE(RoundTicks(1, 1, 5).values.empty());

  EXPECT_DOUBLE_EQ(RoundLengthBelow(0.73), 0.5);
  EXPECT_DOUBLE_EQ(RoundLengthBelow(1), 1);
  EXPECT_DOUBLE_EQ(RoundLengthBelow(19.9), 10);
  EXPECT_DOUBLE_EQ(RoundLengthBelow(20), 20);
  EXPECT_DOUBLE_EQ(RoundLengthBelow(0), 1);
}

TEST(PivplotText, OnlyWellFormedUtf8IsDrawn) {
  EXPECT_EQ(ValidUtf8("run.0001.dpiv"), "run.0001.dpiv");
  EXPECT_EQ(ValidUtf8("caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x8c\x80"), "caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x8c\x80");
  EXPECT_EQ(ValidUtf8("caf\xe9"), "caf?");           // Latin-1
  EXPECT_EQ(ValidUtf8("\xc3"), "?");                 // cut short
  EXPECT_EQ(ValidUtf8("\xc0\xaf"), "??");            // overlong '/'
  EXPECT_EQ(ValidUtf8("\xed\xa0\x80"), "???");       // a surrogate
  EXPECT_EQ(ValidUtf8("\xf4\x90\x80\x80"), "????");  // above U+10FFFF
  EXPECT_EQ(ValidUtf8("a\x80"
                      "b\xff"
                      "c"),
            "a?b?c");
}

TEST(PivplotLayout, TextStaysInsideThePictureAndClearOfTheTitle) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t* cr = cairo_create(surface);
  for (int h : {32, 64, 512}) {
    Raster layer(64, h);
    FigureContent content;
    content.plot_width = 64;
    content.plot_height = h;
    content.colour_layer = &layer;
    content.colour_scale.name = "divergence";
    content.colour_scale.unit = "1/frame";
    content.colour_scale.map = ColourMap::CoolWarm;
    content.colour_scale.lo = -0.25;
    content.colour_scale.hi = 0.25;
    content.title = "a rather long title for so small a plot.dpiv: 1 of 4 vectors valid";
    const FigureLayout layout = LayOutFigure(content);

    UseFont(cr, kTitleFont);
    const double title_bottom = layout.title_y + LineHeight(cr) / 2;
    EXPECT_GE(layout.title_x - TextWidth(cr, content.title) / 2, 0) << h;
    EXPECT_LE(layout.title_x + TextWidth(cr, content.title) / 2, layout.width) << h;
    // The upward labels, centred on the plot's height, begin below the title and end
    // inside the picture.
    UseFont(cr, kLabelFont);
    const double centre = layout.plot_top + h / 2.0;
    for (const std::string& label : {ColourBarLabel(content.colour_scale), std::string(YAxisLabel())}) {
      const double half = TextWidth(cr, label) / 2;
      EXPECT_GE(centre - half, title_bottom) << h << " " << label;
      EXPECT_LE(centre + half, layout.height) << h << " " << label;
    }
    EXPECT_LE(layout.bar_label_x + LineHeight(cr) / 2, layout.width) << h;
    // The bar shows at least its ends and its centre: -0.2 (or -0.25), 0 and 0.2.
    EXPECT_GE(layout.bar_ticks.values.size(), 3u) << h;
    // The last x tick's label ends inside the picture.
    UseFont(cr, kTickFont);
    const double last = layout.x_ticks.values.back();
    EXPECT_LE(layout.plot_left + last + 0.5 + TextWidth(cr, TickLabel(last, layout.x_ticks.step)) / 2, layout.width);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

// Measuring text loads fonts that cairo and fontconfig keep until told to let go, as
// pivplot does at its end.
class FontRelease : public ::testing::Environment {
 public:
  void TearDown() override { ReleaseFonts(); }
};
const ::testing::Environment* const kFontRelease = ::testing::AddGlobalTestEnvironment(new FontRelease);

TEST(PivplotArrows, GeometryOfShaftAndHead) {
  // (8, 0) at (15, 15), scale 1: the worked example of ArrowLayout.h.
  const Arrow a = LayOutArrow({15, 15}, 8, 0, 1, kValidColour);
  ASSERT_TRUE(a.has_head);
  const double half = 3 * std::tan(25 * M_PI / 180);
  EXPECT_DOUBLE_EQ(a.head[0].x, 23);
  EXPECT_DOUBLE_EQ(a.shaft_end.x, 20);
  EXPECT_DOUBLE_EQ(a.head[1].x, 20);
  EXPECT_NEAR(a.head[1].y, 15 - half, 1e-12);
  EXPECT_NEAR(a.head[2].y, 15 + half, 1e-12);
  // A long arrow's head stops growing at 9 px; a short one has none.
  const Arrow long_arrow = LayOutArrow({0, 0}, 0, 10, 10, kValidColour);
  EXPECT_DOUBLE_EQ(long_arrow.shaft_end.y, 91);
  const Arrow short_arrow = LayOutArrow({5, 5}, 1, 1, 1, kValidColour);
  EXPECT_FALSE(short_arrow.has_head);
  EXPECT_DOUBLE_EQ(short_arrow.shaft_end.x, 6);

  // The automatic scale: the largest valid vector, 5 px, as long as the drawn spacing.
  VectorField field;
  field.nx = 2;
  field.ny = 1;
  field.x0 = field.y0 = 15;
  field.delx = 16;
  field.vectors = {{true, 15, 15, 3, 4, 1}, {false, 31, 15, 30, 40, 1}};
  EXPECT_DOUBLE_EQ(LargestValidMagnitude(field), 5);
  EXPECT_DOUBLE_EQ(AutoScale(field, 5, 1), 3.2);
  EXPECT_DOUBLE_EQ(AutoScale(field, 5, 3), 9.6);
  EXPECT_DOUBLE_EQ(AutoScale(field, 0, 1), 1);

  ArrowStyle style;
  style.on_map = true;
  const std::vector<Arrow> arrows = LayOutArrows(field, style);
  ASSERT_EQ(arrows.size(), 2u);
  EXPECT_TRUE(arrows[0].colour == kValidOnMapColour);
  EXPECT_TRUE(arrows[1].colour == kRejectedOnMapColour);
  style.show_rejected = false;
  EXPECT_EQ(LayOutArrows(field, style).size(), 1u);
}

}  // namespace
