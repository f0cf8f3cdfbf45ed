// pivsynth's scenes beyond a plain pair: the sine field, the symmetric scheme, the static
// background and the dimmed light sheet, out-of-plane loss, their options and truth lines,
// and the program with them in a fresh directory; settings left at their defaults keep the
// bytes of a run without them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "OutOfPlaneLoss.h"
#include "ParticleRenderer.h"
#include "ParticleSeeding.h"
#include "PivsynthTestSupport.h"
#include "SceneLightImages.h"
#include "SynthOptions.h"
#include "SynthRandom.h"
#include "Synthesis.h"
#include "TestSupport.h"
#include "TruthFile.h"

namespace {

const double kPi = 3.14159265358979323846;

void ExpectDisplacement(const DisplacementField& f, double x, double y, double dx, double dy) {
  const Displacement d = DisplacementAt(f, x, y);
  EXPECT_NEAR(d.dx, dx, 1e-12) << "at (" << x << ", " << y << ")";
  EXPECT_NEAR(d.dy, dy, 1e-12) << "at (" << x << ", " << y << ")";
}

// Every image RenderImages makes of a record.
std::vector<std::vector<uint16_t>> Rendered(const TruthRecord& record) {
  std::vector<std::vector<uint16_t>> images;
  RenderImages(record, [&images](const std::vector<uint16_t>& image) {
    images.push_back(image);
    return true;
  });
  return images;
}

// A record read through the parser, as pivsynth reads its command line.
TruthRecord Record(const std::vector<std::string>& args) {
  SynthOptions o;
  std::string error;
  EXPECT_EQ(ParseOptions(args, o, error), ParseOutcome::Run) << error;
  return o;
}

// The images of a run with the base settings, and of one with the extra settings too.
struct WithAndWithout {
  std::vector<std::vector<uint16_t>> without, with;
};

WithAndWithout RenderedWithAndWithout(const std::vector<std::string>& base, const std::vector<std::string>& extra) {
  std::vector<std::string> args = base;
  args.insert(args.end(), extra.begin(), extra.end());
  WithAndWithout both{Rendered(Record(base)), Rendered(Record(args))};
  EXPECT_EQ(both.without.size(), both.with.size());
  return both;
}

double Sum(const std::vector<uint16_t>& image) {
  double sum = 0.0;
  for (uint16_t v : image) sum += v;
  return sum;
}

}  // namespace

// ---------------------------------------------------------------- the sine field

TEST(PivsynthSine, TransverseWaveAtHandCheckedPoints) {
  // Along x: v = dy + A sin(2 pi x / L), whatever the row.
  const std::vector<std::string> wave = {"--field", "sine", "--amplitude", "2", "--wavelength", "40",
                                         "--dx", "0.5", "--dy", "-0.25"};
  const DisplacementField alongX = Record(wave).field;
  ExpectDisplacement(alongX, 10.0, 3.0, 0.5, 1.75);    // a crest: sin(pi / 2)
  ExpectDisplacement(alongX, 30.0, 99.0, 0.5, -2.25);  // a trough
  ExpectDisplacement(alongX, 20.0, 7.0, 0.5, -0.25);   // a node: the shift alone
  ExpectDisplacement(alongX, 5.0, 7.0, 0.5, -0.25 + std::sqrt(2.0));
  ExpectDisplacement(alongX, 45.0, 0.0, 0.5, -0.25 + std::sqrt(2.0));  // one wavelength on
  // Along y: u = dx + A sin(2 pi y / L), whatever the column.
  std::vector<std::string> waveAlongY = wave;
  waveAlongY.insert(waveAlongY.end(), {"--direction", "y"});
  const DisplacementField alongY = Record(waveAlongY).field;
  ExpectDisplacement(alongY, 3.0, 10.0, 2.5, -0.25);
  ExpectDisplacement(alongY, 99.0, 30.0, -1.5, -0.25);
  ExpectDisplacement(alongY, 10.0, 20.0, 0.5, -0.25);
}

TEST(PivsynthSine, MaxDisplacementBoundsTheWaveAndItsShift) {
  for (const char* direction : {"x", "y"}) {
    const DisplacementField f = Record({"--field", "sine", "--amplitude", "-1.5", "--wavelength", "24", "--direction",
                                        direction, "--dx", "0.75", "--dy", "-2"})
                                    .field;
    const double bound = MaxDisplacement(f, -20.0, -20.0, 60.0, 60.0);
    const double largest = LargestDisplacement(f, -20.0, -20.0, 60.0, 60.0, 0.25);
    EXPECT_LE(largest, bound + 1e-12);
    EXPECT_NEAR(largest, bound, 1e-9);  // the grid holds the crests (every 6 px)
    // The seeding band reaches as far as the fastest particle, plus the reach: along x
    // ceil(hypot(0.75, 3.5)) = ceil(3.58), along y ceil(hypot(2.25, 2)) = ceil(3.01).
    EXPECT_EQ(SeedMargin(f, 100, 100, 2.5), 4.0 + ParticleReach(2.5));
  }
}

TEST(PivsynthSine, NamesReadBack) {
  FieldKind kind = FieldKind::Uniform;
  EXPECT_TRUE(ParseFieldKind("sine", kind));
  EXPECT_EQ(kind, FieldKind::Sine);
  EXPECT_STREQ(FieldKindName(FieldKind::Sine), "sine");
  for (WaveDirection d : {WaveDirection::X, WaveDirection::Y}) {
    WaveDirection read = WaveDirection::X;
    EXPECT_TRUE(ParseWaveDirection(WaveDirectionName(d), read));
    EXPECT_EQ(read, d);
  }
  WaveDirection direction = WaveDirection::Y;
  EXPECT_FALSE(ParseWaveDirection("X", direction));
  EXPECT_EQ(direction, WaveDirection::Y);
}

// ---------------------------------------------------------------- the symmetric scheme

TEST(PivsynthScheme, PlaceParticleAsItsHeaderSays) {
  DisplacementField shift;
  shift.dx = 1.0;
  shift.dy = -0.5;
  const Particle seeded{10.0, 20.0, 2000.0};
  const ParticlePlaces first = PlaceParticle(seeded, shift, SynthScheme::First);
  EXPECT_EQ(first.first.x, 10.0);
  EXPECT_EQ(first.first.y, 20.0);
  EXPECT_EQ(first.second.x, 11.0);
  EXPECT_EQ(first.second.y, 19.5);
  const ParticlePlaces symmetric = PlaceParticle(seeded, shift, SynthScheme::Symmetric);
  EXPECT_EQ(symmetric.first.x, 9.5);
  EXPECT_EQ(symmetric.first.y, 20.25);
  EXPECT_EQ(symmetric.second.x, 10.5);
  EXPECT_EQ(symmetric.second.y, 19.75);
  EXPECT_EQ(symmetric.second.peak, 2000.0);
}

TEST(PivsynthScheme, SymmetricPairIsCentredOnTheSeededPositionAndMovedByTheFieldThere) {
  // Solid rotation of 0.1 rad about (20, 20): the particle seeded at (30, 20) moves by
  // F = (0, 1), so it is drawn at (30, 19.5) and (30, 20.5); in the first scheme at (30, 20)
  // and (30, 21).
  const DisplacementField f = Record({"--field", "rotation", "--omega", "0.1", "--center", "20,20"}).field;
  IntensityImage a(40, 40), b(40, 40);
  RenderPair({{30.0, 20.0, 1500.0}}, f, SynthScheme::Symmetric, 2.5, a, b);
  const Centroid ca = CentroidOf(a), cb = CentroidOf(b);
  EXPECT_NEAR(ca.x, 30.0, 0.01);
  EXPECT_NEAR(ca.y, 19.5, 0.01);
  EXPECT_NEAR(cb.x, 30.0, 0.01);
  EXPECT_NEAR(cb.y, 20.5, 0.01);
  // A sine wave along y moved by a shift: the particle seeded at (12, 10), where the wave is
  // at a crest, moves by (0.5 + 1, 0.25).
  const std::vector<Particle> crest = {{12.0, 10.0, 1500.0}};
  IntensityImage c(40, 40), d(40, 40);
  const DisplacementField wave = Record({"--field", "sine", "--amplitude", "1", "--wavelength", "40", "--direction",
                                         "y", "--dx", "0.5", "--dy", "0.25"})
                                     .field;
  RenderPair(crest, wave, SynthScheme::Symmetric, 2.5, c, d);
  const Centroid cc = CentroidOf(c), cd = CentroidOf(d);
  EXPECT_NEAR(cc.x, 11.25, 0.01);
  EXPECT_NEAR(cc.y, 9.875, 0.01);
  EXPECT_NEAR(cd.x - cc.x, 1.5, 0.01);
  EXPECT_NEAR(cd.y - cc.y, 0.25, 0.01);
}

// ---------------------------------------------------------------- background and dimming

TEST(PivsynthLight, TheHeadersBackgroundAndDimming) {
  SceneLight light;
  light.glow = 100;
  light.bands.push_back({1, 2, 40});
  light.rowPatterns.push_back({10, 1, 0, 3, 3});
  light.dims.push_back({0, 0, 1, 1, 0.5});
  const SceneLightImages scene(light, 5, 4);
  const double background[4][5] = {
      {0, 25, 50, 75, 100}, {40, 75, 100, 125, 140}, {40, 65, 90, 115, 140}, {0, 35, 60, 85, 100}};
  IntensityImage image(5, 4);
  image.Add(std::vector<double>(20, 200.0));
  scene.Apply(image);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(scene.Background(x, y), background[y][x]) << x << ", " << y;
      EXPECT_EQ(image.At(x, y), background[y][x] + (x <= 1 && y <= 1 ? 100.0 : 200.0)) << x << ", " << y;
    }
  EXPECT_EQ(image.At(1, 1), 175.0);

  // A scene without light leaves an image as it was.
  IntensityImage plain(5, 4);
  plain.AddParticle({2.3, 1.7, 1000.0}, 2.5);
  const IntensityImage before = plain;
  SceneLightImages(SceneLight(), 5, 4).Apply(plain);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(plain.At(x, y), before.At(x, y));
}

TEST(PivsynthLight, ImagesWithoutParticlesHoldTheBackgroundExactly) {
  // 7 columns: glow 60 is 10 counts a column; the band on row 1 saturates from column 1 on;
  // the row pattern adds 7 to columns 2..4 of the odd rows 1 and 3.
  const TruthRecord record = Record({"--size", "7x5", "--pairs", "2", "--density", "0", "--glow", "60", "--band",
                                     "1,1,4090", "--row-pattern", "7,2,0,4,4"});
  const std::vector<std::vector<uint16_t>> images = Rendered(record);
  ASSERT_EQ(images.size(), 4u);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      double expected = 10.0 * x;
      if (y == 1) expected = std::fmin(4095.0, expected + 4090.0);
      if ((y == 1 || y == 3) && x >= 2 && x <= 4) expected = std::fmin(4095.0, expected + 7.0);
      EXPECT_EQ(images[0][y * 7 + x], expected) << x << ", " << y;
    }
  // The same background in both images of every pair.
  for (const auto& image : images) EXPECT_EQ(image, images[0]);

  // A glow that is not a whole number of counts a column is rounded pixel by pixel:
  // 5 x / 6 = 0, 0.83, 1.67, 2.5, 3.33, 4.17, 5.
  const std::vector<std::vector<uint16_t>> glow = Rendered(Record({"--size", "7x1", "--density", "0", "--glow", "5"}));
  EXPECT_EQ(glow[0], (std::vector<uint16_t>{0, 1, 2, 3, 3, 4, 5}));
}

TEST(PivsynthLight, DimmingScalesTheParticleLightAndNotTheBackground) {
  // Factor 0.5 on a rendered particle: exactly half inside the rectangle, nothing changed
  // outside it.
  SceneLight half;
  half.dims.push_back({10, 0, 39, 39, 0.5});
  IntensityImage particle(40, 40);
  particle.AddParticle({10.2, 20.6, 2000.0}, 3.0);
  const IntensityImage before = particle;
  SceneLightImages(half, 40, 40).Apply(particle);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(particle.At(x, y), before.At(x, y) * (x >= 10 ? 0.5 : 1.0));

  // A dark corner of the sheet: no particle light in it, the glow there all the same, and
  // the particles elsewhere those of the run without it.
  const WithAndWithout both = RenderedWithAndWithout(
      {"--size", "48x40", "--dx", "1.3", "--density", "0.05", "--glow", "30"}, {"--dim", "0,0,19.5,15,0"});
  const auto& plain = both.without;
  const auto& dimmed = both.with;
  ASSERT_EQ(plain.size(), 2u);
  for (int image = 0; image < 2; ++image)
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 48; ++x) {
        const size_t k = static_cast<size_t>(y) * 48 + x;
        if (x <= 19 && y <= 15) {
          ASSERT_EQ(dimmed[image][k], std::floor(30.0 * x / 47 + 0.5)) << x << ", " << y;
        } else {
          ASSERT_EQ(dimmed[image][k], plain[image][k]) << x << ", " << y;
        }
      }
  EXPECT_NE(dimmed, plain);
}

TEST(PivsynthLight, NoiseFallsOnTheBackgroundBeforeTheRounding) {
  // A band of 1000 counts over the whole image, no particles: the noise spreads it evenly.
  const auto images = Rendered(Record({"--size", "100x100", "--density", "0", "--band", "0,99,1000", "--noise", "20"}));
  ASSERT_EQ(images.size(), 2u);
  double sum = 0.0, squares = 0.0;
  for (uint16_t v : images[1]) {
    sum += v;
    squares += static_cast<double>(v) * v;
  }
  const double mean = sum / 10000.0;
  EXPECT_NEAR(mean, 1000.0, 1.0);
  EXPECT_NEAR(std::sqrt(squares / 10000.0 - mean * mean), 20.0, 1.0);
  EXPECT_NE(images[0], images[1]);  // the noise is drawn for each image
}

// ---------------------------------------------------------------- out-of-plane loss

TEST(PivsynthLoss, AFractionOfTheParticlesIsSeenOnceHalfInEachImage) {
  std::vector<Particle> particles(40000, Particle{1.0, 2.0, 2000.0});
  SynthRandom random = LossRandom(7);
  MarkOutOfPlaneLoss(particles, 0.25, random);
  int firstOnly = 0, secondOnly = 0, both = 0;
  for (const Particle& p : particles) {
    ASSERT_TRUE(p.inFirst || p.inSecond);
    firstOnly += p.inFirst && !p.inSecond;
    secondOnly += !p.inFirst && p.inSecond;
    both += p.inFirst && p.inSecond;
  }
  // Binomial: 10000 +- 87 seen once, each half 5000 +- 71.
  EXPECT_NEAR(firstOnly + secondOnly, 10000, 400);
  EXPECT_NEAR(firstOnly, 5000, 300);
  EXPECT_NEAR(secondOnly, 5000, 300);
  EXPECT_EQ(both + firstOnly + secondOnly, 40000);

  // No loss: every particle in both images, and no number drawn from the stream.
  std::vector<Particle> kept(100, Particle{1.0, 2.0, 2000.0});
  SynthRandom untouched = LossRandom(7);
  MarkOutOfPlaneLoss(kept, 0.0, untouched);
  for (const Particle& p : kept) ASSERT_TRUE(p.inFirst && p.inSecond);
  EXPECT_EQ(untouched.Next(), LossRandom(7).Next());
  // The stream is not the particles' own.
  EXPECT_NE(LossRandom(7).Next(), SynthRandom(7).Next());
}

TEST(PivsynthLoss, AParticleSeenOnceIsDrawnInThatImageOnly) {
  DisplacementField shift;
  shift.dx = 2.0;
  Particle firstOnly{10.0, 10.0, 1000.0}, secondOnly{25.0, 25.0, 1000.0};
  firstOnly.inSecond = false;
  secondOnly.inFirst = false;
  IntensityImage a(40, 40), b(40, 40);
  RenderPair({firstOnly, secondOnly}, shift, SynthScheme::First, 2.5, a, b);
  const Centroid ca = CentroidOf(a), cb = CentroidOf(b);
  const double total = ParticleTotalIntensity(1000.0, 2.5);
  EXPECT_NEAR(ca.sum, total, 1e-6 * total);
  EXPECT_NEAR(cb.sum, total, 1e-6 * total);
  EXPECT_NEAR(ca.x, 10.0, 0.01);
  EXPECT_NEAR(cb.x, 27.0, 0.01);
}

TEST(PivsynthLoss, ParticlesAreThoseOfTheRunWithoutLoss) {
  const WithAndWithout both = RenderedWithAndWithout(
      {"--size", "128x128", "--density", "0.05", "--dx", "1.5", "--seed", "9"}, {"--loss", "0.3"});
  const auto& plain = both.without;
  const auto& lost = both.with;
  ASSERT_EQ(plain.size(), 2u);
  for (int image = 0; image < 2; ++image) {
    // Only light taken away: no pixel brighter than without loss.
    for (size_t k = 0; k < plain[image].size(); ++k) ASSERT_LE(lost[image][k], plain[image][k]) << k;
    // Each image misses about half the lost particles: 15 % of the light.
    EXPECT_NEAR(Sum(lost[image]) / Sum(plain[image]), 0.85, 0.05) << "image " << image + 1;
  }
  EXPECT_NE(lost[0], plain[0]);
  EXPECT_NE(lost[1], plain[1]);
}

// ---------------------------------------------------------------- options and truth lines

TEST(PivsynthSceneOptions, TheProgramRecordsEverySettingAndItsImagesFollowFromThem) {
  TempDir dir;
  const RunResult r = RunProgram("pivsynth",
                                 {"--size", "64x48", "--field", "sine", "--amplitude", "1.5", "--wavelength=32",
                                  "--direction", "y", "--dx", "0.5", "--scheme", "symmetric", "--loss", "0.1", "--glow",
                                  "200", "--band", "10,20,300", "--row-pattern", "8,0,0,63,31", "--dim",
                                  "0,0,15.5,15.5,0.25", "--band=40,47,12.5", "--noise", "3", "--mask-rect",
                                  "60,0,63,47", "--out", "s.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string text = ReadFile(dir.file("s.b16.truth"));
  EXPECT_EQ(text,
            "field = sine\namplitude = 1.5\nwavelength = 32\ndirection = y\ndx = 0.5\ndy = 0\nsize = 64x48\n"
            "pairs = 1\ndiameter = 2.5\ndensity = 0.02\nnoise = 3\nseed = 1\nscheme = symmetric\nloss = 0.1\n"
            "glow = 200\nband = 10,20,300\nband = 40,47,12.5\nrow-pattern = 8,0,0,63,31\ndim = 0,0,15.5,15.5,0.25\n"
            "mask-rect = 60,0,63,47\n");
  TruthRecord record;
  std::string error;
  ASSERT_TRUE(ReadTruthFile(dir.file("s.b16.truth"), record, error)) << error;
  EXPECT_EQ(TruthText(record), text);
  EXPECT_EQ(record.scheme, SynthScheme::Symmetric);
  EXPECT_EQ(record.light.bands.size(), 2u);
  EXPECT_EQ(r.out, "pivsynth: wrote 2 images of 64x48 px (1 pair, " + std::to_string(ParticlesPerPair(record)) +
                       " particles per pair, sine field) to s.b16, truth in s.b16.truth, mask in s.b16.mask.png "
                       "(192 of 3072 pixels masked)\n");
  // The truth file holds all it takes to make the images again.
  EXPECT_EQ(Rendered(record), ReadPairFile(dir.file("s.b16")).images);
}

TEST(PivsynthSceneOptions, SettingsAtTheirDefaultsKeepTheBytesOfARunWithoutThem) {
  TempDir dir;
  const std::vector<std::string> base = {"--size", "64x48", "--noise", "4", "--dx", "1.2", "--pairs", "2"};
  auto run = [&](const std::string& out, const std::vector<std::string>& extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--out", out});
    const RunResult r = RunProgram("pivsynth", args, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out.substr(0, r.out.find(" to "));
  };
  const std::string plain = run("a.b16", {});
  const std::string defaults =
      run("b.b16", {"--scheme", "first", "--loss", "0", "--glow", "0", "--dim", "0,0,63,47,1"});
  EXPECT_EQ(plain, defaults);
  EXPECT_EQ(ReadFile(dir.file("a.b16")), ReadFile(dir.file("b.b16")));
  // A dimming factor of 1 changes no pixel but is a setting given: the truth records it.
  EXPECT_EQ(ReadFile(dir.file("a.b16.truth")) + "dim = 0,0,63,47,1\n", ReadFile(dir.file("b.b16.truth")));
  run("c.b16", {"--scheme", "first", "--loss", "0", "--glow", "0"});
  EXPECT_EQ(ReadFile(dir.file("a.b16.truth")), ReadFile(dir.file("c.b16.truth")));
  // Any of the new settings changes the images.
  for (const auto& extra : std::vector<std::vector<std::string>>{
           {"--scheme", "symmetric"}, {"--loss", "0.2"}, {"--glow", "1"}, {"--band", "0,0,1"}}) {
    run("d.b16", extra);
    EXPECT_NE(ReadFile(dir.file("a.b16")), ReadFile(dir.file("d.b16"))) << extra[0];
  }
}

TEST(PivsynthSceneOptions, RefusesBadValues) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--scheme", "central"}, "--scheme: 'central' is not one of first, symmetric"},
      {{"--loss", "1"}, "--loss: must be at least 0 and below 1"},
      {{"--loss", "-0.1"}, "--loss: must be at least 0 and below 1"},
      {{"--loss", "half"}, "--loss: 'half' is not a number"},
      {{"--glow", "4096"}, "--glow: must be between 0 and 4095 counts"},
      {{"--glow", "-1"}, "--glow: must be between 0 and 4095 counts"},
      {{"--band", "1,2"}, "--band: '1,2' is not of the form Y0,Y1,LEVEL"},
      {{"--band", "5,4,10"}, "--band: Y1 must not be below Y0"},
      {{"--band", "1,2,5000"}, "--band: must be between 0 and 4095 counts"},
      {{"--band", "300,310,4"}, "--band 300,310,4 covers no pixel of the 256x256 image"},
      {{"--row-pattern", "8,0,0,63"}, "--row-pattern: '8,0,0,63' is not of the form LEVEL,X0,Y0,X1,Y1"},
      {{"--row-pattern", "8,9,0,3,5"}, "--row-pattern: X1 must not be below X0, nor Y1 below Y0"},
      {{"--row-pattern", "-8,0,0,3,5"}, "--row-pattern: must be between 0 and 4095 counts"},
      {{"--row-pattern", "8,-9,0,-3,5"}, "--row-pattern 8,-9,0,-3,5 covers no pixel of the 256x256 image"},
      {{"--dim", "0,0,9,9"}, "--dim: '0,0,9,9' is not of the form X0,Y0,X1,Y1,FACTOR"},
      {{"--dim", "0,0,9,9,1.5"}, "--dim: the factor must be between 0 and 1"},
      {{"--dim", "0,9,9,0,0.5"}, "--dim: X1 must not be below X0, nor Y1 below Y0"},
      {{"--dim", "0.2,0,0.8,9,0.5"}, "--dim 0.2,0,0.8,9,0.5 covers no pixel of the 256x256 image"},
      {{"--field", "sine", "--wavelength", "0"}, "--wavelength: the wavelength must be positive"},
      {{"--field", "sine", "--direction", "z"}, "--direction: 'z' is not one of x, y"},
      {{"--amplitude", "1"}, "--amplitude does not apply to --field uniform"},
      {{"--field", "shear", "--dx", "1"}, "--dx does not apply to --field shear"},
      {{"--field", "sine", "--center", "1,2"}, "--center does not apply to --field sine"},
  };
  TempDir dir;
  for (const auto& [args, message] : cases) ExpectPivsynthRefusal(dir, args, "pivsynth: " + message + "\n");
  EXPECT_FALSE(FileExists(dir.file("synth.b16")));
}

TEST(PivsynthSceneOptions, TheUsageNamesEveryNewOption) {
  const std::string usage = UsageText();
  for (const char* option : {"--scheme first|symmetric", "--amplitude A", "--wavelength L", "--direction x|y",
                             "--loss F", "--glow MAX", "--band Y0,Y1,LEVEL", "--row-pattern LEVEL,X0,Y0,X1,Y1",
                             "--dim X0,Y0,X1,Y1,FACTOR", "uniform, rotation, vortex, shear or sine"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

// ---------------------------------------------------------------- truth files refused

TEST(TruthFileRefusals, EmptyADirectoryOrWithoutAField) {
  TempDir dir;
  WriteFile(dir.file("empty.truth"), "");
  WriteFile(dir.file("blank.truth"), "\n  \n");
  WriteFile(dir.file("nofield.truth"), "size = 64x64\nseed = 3\n");
  std::filesystem::create_directory(dir.file("folder.truth"));
  const std::pair<std::string, std::string> cases[] = {
      {"empty.truth", dir.file("empty.truth") + " is empty"},
      {"folder.truth", dir.file("folder.truth") + " is a directory, not a truth file"},
      {"blank.truth", dir.file("blank.truth") + " holds no field (no \"field = ...\" line)"},
      {"nofield.truth", dir.file("nofield.truth") + " holds no field (no \"field = ...\" line)"},
      {"absent.truth", "cannot open " + dir.file("absent.truth")},
  };
  for (const auto& [name, message] : cases) {
    TruthRecord record;
    std::string error;
    EXPECT_FALSE(ReadTruthFile(dir.file(name), record, error)) << name;
    EXPECT_EQ(error, message);
  }
  WriteFile(dir.file("field.truth"), "field = sine\nwavelength = 12.5\n");
  TruthRecord record;
  std::string error;
  ASSERT_TRUE(ReadTruthFile(dir.file("field.truth"), record, error)) << error;
  EXPECT_EQ(record.field.kind, FieldKind::Sine);
  EXPECT_EQ(record.field.wavelength, 12.5);
  EXPECT_EQ(record.field.amplitude, 0.0);
  EXPECT_EQ(record.field.direction, WaveDirection::X);
}
