// The synthetic particle-image generator: its renderer, fields, seeding and masks directly,
// and the program end to end (file layout, determinism, truth file, masks, refusals).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "DisplacementField.h"
#include "MaskFile.h"
#include "MaskRegion.h"
#include "ParticleMask.h"
#include "ParticleRenderer.h"
#include "ParticleSeeding.h"
#include "PivsynthTestSupport.h"
#include "SynthOptions.h"
#include "SynthRandom.h"
#include "Synthesis.h"
#include "TestSupport.h"
#include "TruthFile.h"

namespace {

const double kPi = 3.14159265358979323846;

IntensityImage SingleParticle(double x, double y, double diameter, int size = 40, double peak = 2000.0) {
  IntensityImage image(size, size);
  image.AddParticle({x, y, peak}, diameter);
  return image;
}

void ExpectDisplacement(const DisplacementField& f, double x, double y, double dx, double dy) {
  const Displacement d = DisplacementAt(f, x, y);
  EXPECT_NEAR(d.dx, dx, 1e-9) << "at (" << x << ", " << y << ")";
  EXPECT_NEAR(d.dy, dy, 1e-9) << "at (" << x << ", " << y << ")";
}

}  // namespace

// ---------------------------------------------------------------- renderer

TEST(PivsynthRenderer, SingleParticleCentroidIsAtItsSubPixelPosition) {
  const double positions[][2] = {{10.3, 12.77}, {20.5, 20.5}, {15.0, 9.91}, {17.25, 14.6}, {19.99, 20.01}};
  for (double diameter : {2.5, 4.0}) {
    for (const auto& p : positions) {
      const Centroid c = CentroidOf(SingleParticle(p[0], p[1], diameter));
      EXPECT_NEAR(c.x, p[0], 0.01) << "diameter " << diameter;
      EXPECT_NEAR(c.y, p[1], 0.01) << "diameter " << diameter;
    }
  }
}

TEST(PivsynthRenderer, PixelSumMatchesTheIntegralOfTheProfile) {
  for (double diameter : {1.0, 2.5, 6.0}) {
    const Centroid c = CentroidOf(SingleParticle(19.37, 21.82, diameter, 48, 1234.0));
    EXPECT_NEAR(c.sum, 1234.0 * kPi * diameter * diameter / 8.0, 1e-9 * c.sum) << "diameter " << diameter;
    EXPECT_NEAR(ParticleTotalIntensity(1234.0, diameter), c.sum, 1e-9 * c.sum);
  }
  // The one-dimensional pieces: the whole line, and half of it.
  EXPECT_NEAR(GaussianIntegral(-50.0, 50.0, 0.3, 0.7), 0.7 * std::sqrt(2.0 * kPi), 1e-12);
  EXPECT_NEAR(GaussianIntegral(2.0, 60.0, 2.0, 1.3), 0.5 * 1.3 * std::sqrt(2.0 * kPi), 1e-12);
}

TEST(PivsynthRenderer, PeakAndE2DiameterAreAsGiven) {
  // A wide particle is nearly constant over one pixel, so the pixels sample the profile.
  const IntensityImage image = SingleParticle(50.0, 50.0, 40.0, 101, 1000.0);
  EXPECT_NEAR(image.At(50, 50), 1000.0, 1.0);
  EXPECT_NEAR(image.At(70, 50), 1000.0 * std::exp(-2.0), 1.0);  // radius d / 2
  EXPECT_NEAR(image.At(50, 30), 1000.0 * std::exp(-2.0), 1.0);
  EXPECT_NEAR(image.At(60, 60), 1000.0 * std::exp(-8.0 * 200.0 / 1600.0), 1.0);
}

TEST(PivsynthRenderer, ParticlesAtAndBeyondTheEdgeAreClipped) {
  IntensityImage image(10, 10);
  image.AddParticle({-0.5, 4.0, 1000.0}, 2.5);  // centred on the left edge: half inside
  const double total = ParticleTotalIntensity(1000.0, 2.5);
  EXPECT_NEAR(CentroidOf(image).sum, total / 2.0, 1e-6 * total);
  image.AddParticle({-40.0, -40.0, 1000.0}, 2.5);
  image.AddParticle({300.0, 5.0, 1000.0}, 2.5);
  image.AddParticle({1e300, -1e300, 1000.0}, 2.5);  // a wild field must not break the casts
  image.AddParticle({std::nan(""), 5.0, 1000.0}, 2.5);
  image.AddParticle({5.0, 10.0, 1000.0}, 2.5);  // half a pixel below: its top tail shows
  const double tail = 0.5 * std::erfc(0.5 / (2.5 / 4.0) / std::sqrt(2.0));
  EXPECT_NEAR(CentroidOf(image).sum, total * (0.5 + tail), 1e-6 * total);
}

TEST(PivsynthRenderer, QuantizeRoundsToCountsAndClampsTo12Bits) {
  IntensityImage image(30, 30);
  image.AddParticle({8.2, 9.7, 50000.0}, 3.0);  // saturates
  image.AddParticle({20.4, 20.6, 800.0}, 2.5);
  SynthRandom random(7);
  image.AddNoise(30.0, random);  // drives the background below zero
  const std::vector<uint16_t> counts = image.Quantize();
  ASSERT_EQ(counts.size(), 900u);
  EXPECT_EQ(counts[9 * 30 + 8], 4095);
  int zeros = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const double v = image.At(x, y);
      const double expected = v < 0.0 ? 0.0 : v > 4095.0 ? 4095.0 : std::floor(v + 0.5);
      EXPECT_EQ(counts[y * 30 + x], expected) << x << "," << y << " from " << v;
      zeros += counts[y * 30 + x] == 0;
    }
  EXPECT_GT(zeros, 300);
}

TEST(PivsynthRenderer, NoiseHasTheGivenStandardDeviation) {
  IntensityImage image(200, 200);
  SynthRandom random(11);
  image.AddNoise(12.0, random);
  double sum = 0.0, squares = 0.0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) {
      sum += image.At(x, y);
      squares += image.At(x, y) * image.At(x, y);
    }
  const double mean = sum / 40000.0;
  EXPECT_NEAR(mean, 0.0, 0.3);
  EXPECT_NEAR(std::sqrt(squares / 40000.0 - mean * mean), 12.0, 0.3);
}

// ---------------------------------------------------------------- random numbers

TEST(PivsynthRandom, FollowsTheSplitMix64Sequence) {
  SynthRandom random(0);
  EXPECT_EQ(random.Next(), 0xe220a8397b1dcdafULL);
  EXPECT_EQ(random.Next(), 0x6e789e6aa1b965f4ULL);
  EXPECT_EQ(random.Next(), 0x06c45d188009454fULL);
}

TEST(PivsynthRandom, UniformAndNormalHaveTheirMoments) {
  SynthRandom random(42);
  double uSum = 0.0, nSum = 0.0, nSquares = 0.0, uMin = 1.0, uMax = 0.0;
  const int n = 100000;
  for (int k = 0; k < n; ++k) {
    const double u = random.Uniform();
    uMin = std::fmin(uMin, u);
    uMax = std::fmax(uMax, u);
    uSum += u;
    const double z = random.Normal();
    ASSERT_TRUE(std::isfinite(z));
    nSum += z;
    nSquares += z * z;
  }
  EXPECT_GE(uMin, 0.0);
  EXPECT_LT(uMax, 1.0);
  EXPECT_NEAR(uSum / n, 0.5, 0.005);
  EXPECT_NEAR(nSum / n, 0.0, 0.015);
  EXPECT_NEAR(nSquares / n, 1.0, 0.02);
}

// ---------------------------------------------------------------- fields

TEST(PivsynthField, UniformRotationAndShearAtHandCheckedPoints) {
  DisplacementField f;
  f.dx = 1.25;
  f.dy = -0.5;
  ExpectDisplacement(f, 3.0, 200.0, 1.25, -0.5);

  f.kind = FieldKind::Rotation;
  f.omega = 0.01;
  f.cx = 50.0;
  f.cy = 40.0;
  ExpectDisplacement(f, 60.0, 40.0, 0.0, 0.1);   // right of the centre: down the rows
  ExpectDisplacement(f, 50.0, 50.0, -0.1, 0.0);  // below the centre: towards x = 0
  ExpectDisplacement(f, 30.0, 20.0, 0.2, -0.2);
  ExpectDisplacement(f, 50.0, 40.0, 0.0, 0.0);

  f.kind = FieldKind::Shear;
  f.shear = 0.05;
  ExpectDisplacement(f, 7.0, 50.0, 0.5, 0.0);
  ExpectDisplacement(f, 99.0, 30.0, -0.5, 0.0);
  ExpectDisplacement(f, 0.0, 40.0, 0.0, 0.0);
}

TEST(PivsynthField, RankineVortexIsSolidInsideAndPotentialOutside) {
  DisplacementField f;
  f.kind = FieldKind::Vortex;
  f.profile = VortexProfile::Rankine;
  f.gamma = 2.0 * kPi * 50.0;  // v = 50 / r outside
  f.core = 5.0;
  f.cx = 100.0;
  f.cy = 80.0;
  ExpectDisplacement(f, 102.5, 80.0, 0.0, 5.0);   // inside: 50 * 2.5 / 25
  ExpectDisplacement(f, 105.0, 80.0, 0.0, 10.0);  // on the core: the fastest
  ExpectDisplacement(f, 110.0, 80.0, 0.0, 5.0);   // outside: 50 / 10
  ExpectDisplacement(f, 100.0, 90.0, -5.0, 0.0);
  ExpectDisplacement(f, 100.0, 30.0, 1.0, 0.0);
  ExpectDisplacement(f, 100.0, 80.0, 0.0, 0.0);
}

TEST(PivsynthField, LambOseenVortexHasItsSmoothProfile) {
  DisplacementField f;
  f.kind = FieldKind::Vortex;
  f.gamma = 2.0 * kPi * 50.0;
  f.core = 5.0;
  f.cx = 10.0;
  f.cy = 10.0;
  ExpectDisplacement(f, 15.0, 10.0, 0.0, 10.0 * (1.0 - std::exp(-1.0)));  // r = core
  ExpectDisplacement(f, 10.0, 0.0, 5.0 * (1.0 - std::exp(-4.0)), 0.0);    // r = 2 core, above
  ExpectDisplacement(f, 10.0, 10.0, 0.0, 0.0);
  // Near the centre it turns into solid rotation at gamma / (2 pi core^2) = 2 per radian.
  ExpectDisplacement(f, 10.0 + 1e-7, 10.0, 0.0, 2e-7);
  const Displacement far = DisplacementAt(f, 510.0, 10.0);
  EXPECT_NEAR(far.dy, 0.1, 1e-12);
}

TEST(PivsynthField, MaxDisplacementBoundsTheField) {
  DisplacementField rotation;
  rotation.kind = FieldKind::Rotation;
  rotation.omega = -0.02;
  rotation.cx = 10.0;
  rotation.cy = 0.0;
  EXPECT_NEAR(MaxDisplacement(rotation, -20.0, -40.0, 40.0, 30.0), 0.02 * 50.0, 1e-12);

  for (VortexProfile profile : {VortexProfile::Rankine, VortexProfile::LambOseen}) {
    DisplacementField f;
    f.kind = FieldKind::Vortex;
    f.profile = profile;
    f.gamma = -300.0;
    f.core = 7.0;
    const double bound = MaxDisplacement(f, -50.0, -50.0, 50.0, 50.0);
    const double largest = LargestDisplacement(f, -50.0, -50.0, 50.0, 50.0, 0.25);
    EXPECT_LE(largest, bound + 1e-12);
    EXPECT_GT(largest, 0.6 * bound);
  }
}

TEST(PivsynthField, NamesReadBackAndUnknownNamesAreRefused) {
  for (FieldKind k : {FieldKind::Uniform, FieldKind::Rotation, FieldKind::Vortex, FieldKind::Shear}) {
    FieldKind read = FieldKind::Uniform;
    EXPECT_TRUE(ParseFieldKind(FieldKindName(k), read));
    EXPECT_EQ(read, k);
  }
  FieldKind kind = FieldKind::Shear;
  EXPECT_FALSE(ParseFieldKind("Uniform", kind));
  EXPECT_EQ(kind, FieldKind::Shear);
  VortexProfile profile = VortexProfile::LambOseen;
  EXPECT_TRUE(ParseVortexProfile("rankine", profile));
  EXPECT_EQ(profile, VortexProfile::Rankine);
  EXPECT_FALSE(ParseVortexProfile("oseen", profile));
}

// ---------------------------------------------------------------- seeding and pairs

TEST(PivsynthSeeding, MarginLetsParticlesMoveIntoView) {
  DisplacementField f;
  f.dx = 10.0;
  EXPECT_EQ(SeedMargin(f, 100, 100, 2.5), 10.0 + ParticleReach(2.5));

  f.kind = FieldKind::Rotation;
  f.omega = 0.05;
  f.cx = 49.5;
  f.cy = 49.5;
  const double margin = SeedMargin(f, 100, 100, 2.5);
  const SeedArea area = SeedingArea(100, 100, margin);
  EXPECT_LE(MaxDisplacement(f, area.x0, area.y0, area.x1, area.y1) + ParticleReach(2.5), margin);

  // A field far beyond small displacements stops at the limit instead of growing forever.
  f.omega = 3.0;
  EXPECT_EQ(SeedMargin(f, 100, 60, 2.5), 50.0 + ParticleReach(2.5));
}

TEST(PivsynthSeeding, FieldAtRestNeedsNoMarginHoweverFarItsCentre) {
  // hypot(1.7e308, 1.7e308) overflows to infinity; 0 times it would be NaN, and a NaN
  // margin made a particle count of -2^63.
  for (FieldKind kind : {FieldKind::Rotation, FieldKind::Shear}) {
    DisplacementField f;
    f.kind = kind;
    f.cx = -1.7e308;
    f.cy = 1.7e308;
    EXPECT_EQ(MaxDisplacement(f, -10.0, -10.0, 110.0, 110.0), 0.0);
    EXPECT_EQ(SeedMargin(f, 100, 100, 2.5), ParticleReach(2.5));
  }
}

TEST(PivsynthSeeding, ParticlesFillTheAreaWithVaryingPeaks) {
  const SeedArea area = SeedingArea(64, 32, 6.0);
  EXPECT_DOUBLE_EQ(area.x0, -6.5);
  EXPECT_DOUBLE_EQ(area.y1, 37.5);
  EXPECT_EQ(ParticleCount(0.02, area), std::llround(0.02 * 76.0 * 44.0));
  SynthRandom random(3);
  const std::vector<Particle> particles = SeedParticles(area, 5000, random);
  ASSERT_EQ(particles.size(), 5000u);
  double peakMin = 1e9, peakMax = 0.0, xSum = 0.0;
  for (const Particle& p : particles) {
    EXPECT_TRUE(p.x >= area.x0 && p.x < area.x1 && p.y >= area.y0 && p.y < area.y1);
    peakMin = std::fmin(peakMin, p.peak);
    peakMax = std::fmax(peakMax, p.peak);
    xSum += p.x;
  }
  EXPECT_GE(peakMin, kPeakMean * (1.0 - kPeakSpread));
  EXPECT_LE(peakMax, kPeakMean * (1.0 + kPeakSpread));
  EXPECT_GT(peakMax - peakMin, kPeakMean * kPeakSpread);
  EXPECT_NEAR(xSum / 5000.0, 31.5, 1.0);
}

TEST(PivsynthPair, SecondImageHoldsTheParticleMovedByExactlyTheShift) {
  DisplacementField f;
  f.dx = 1.37;
  f.dy = -0.64;
  const std::vector<Particle> one = {{20.3, 18.6, 2000.0}};
  IntensityImage first(40, 40), second(40, 40);
  RenderPair(one, f, SynthScheme::First, 2.5, first, second);
  const Centroid a = CentroidOf(first), b = CentroidOf(second);
  EXPECT_NEAR(a.x, 20.3, 0.01);
  EXPECT_NEAR(a.y, 18.6, 0.01);
  EXPECT_NEAR(b.x - a.x, 1.37, 0.01);
  EXPECT_NEAR(b.y - a.y, -0.64, 0.01);
  // Pixel for pixel the same as drawing the moved particle directly.
  const IntensityImage moved = SingleParticle(20.3 + 1.37, 18.6 - 0.64, 2.5, 40, 2000.0);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_NEAR(second.At(x, y), moved.At(x, y), 1e-9);
}

TEST(PivsynthPair, FieldIsTakenAtTheFirstImagePosition) {
  DisplacementField f;
  f.kind = FieldKind::Rotation;
  f.omega = 0.1;
  f.cx = 20.0;
  f.cy = 20.0;
  IntensityImage first(40, 40), second(40, 40);
  RenderPair({{30.0, 20.0, 1500.0}}, f, SynthScheme::First, 2.5, first, second);
  const Centroid b = CentroidOf(second);
  EXPECT_NEAR(b.x, 30.0, 0.01);  // a tangent step, not an arc
  EXPECT_NEAR(b.y, 21.0, 0.01);
}

// ---------------------------------------------------------------- options

TEST(PivsynthOptions, DefaultsAndBothValueForms) {
  SynthOptions o;
  std::string error;
  ASSERT_EQ(ParseOptions({}, o, error), ParseOutcome::Run);
  EXPECT_EQ(o.width, 256);
  EXPECT_EQ(o.pairs, 1);
  EXPECT_EQ(o.out, "synth.b16");
  EXPECT_DOUBLE_EQ(o.field.cx, 127.5);

  SynthOptions v;
  ASSERT_EQ(ParseOptions({"--size=64x32", "--field", "vortex", "--gamma=-12.5", "--core", "4", "--seed",
                          "18446744073709551615"},
                         v, error),
            ParseOutcome::Run)
      << error;
  EXPECT_EQ(v.width, 64);
  EXPECT_EQ(v.height, 32);
  EXPECT_EQ(v.field.kind, FieldKind::Vortex);
  EXPECT_DOUBLE_EQ(v.field.gamma, -12.5);
  EXPECT_DOUBLE_EQ(v.field.core, 4.0);
  EXPECT_DOUBLE_EQ(v.field.cx, 31.5);
  EXPECT_DOUBLE_EQ(v.field.cy, 15.5);
  EXPECT_EQ(v.seed, 18446744073709551615ULL);
  EXPECT_EQ(ParseOptions({"--noise", "1", "--help", "--bogus"}, v, error), ParseOutcome::Help);
}

TEST(PivsynthOptions, TruthNumbersReadBackExactly) {
  EXPECT_EQ(FormatNumber(0.02), "0.02");
  EXPECT_EQ(FormatNumber(-3.0), "-3");
  EXPECT_EQ(FormatNumber(127.5), "127.5");
  EXPECT_EQ(FormatNumber(100.0), "100");
  EXPECT_EQ(FormatNumber(4096.0), "4096");
  EXPECT_EQ(FormatNumber(1e-7), "1e-07");
  const double third = 1.0 / 3.0;
  EXPECT_EQ(std::stod(FormatNumber(third)), third);
}

// ---------------------------------------------------------------- the program

TEST(PivsynthProgram, WritesTheHeaderAndAllImagesOfEveryPair) {
  TempDir dir;
  const RunResult r = RunProgram("pivsynth", {"--size", "40x30", "--pairs", "3", "--out", "p.b16"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "pivsynth: wrote 6 images of 40x30 px (3 pairs, " +
                std::to_string(ParticleCount(0.02, SeedingArea(40, 30, ParticleReach(2.5)))) +
                " particles per pair, uniform field) to p.b16, truth in p.b16.truth\n");
  const std::string bytes = ReadFile(dir.file("p.b16"));
  ASSERT_EQ(bytes.size(), 4u + 6u * 2u * 40u * 30u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x28\x00\x1e\x00", 4));
  const PairFile f = ReadPairFile(dir.file("p.b16"));
  ASSERT_EQ(f.images.size(), 6u);
  // Each pair has particles of its own; within a pair (no shift) the images agree.
  EXPECT_EQ(f.images[0], f.images[1]);
  EXPECT_NE(f.images[0], f.images[2]);
  EXPECT_NE(f.images[2], f.images[4]);
  for (const auto& image : f.images)
    for (uint16_t v : image) ASSERT_LE(v, 4095);
}

// Callers that keep the images in memory (the Python module) get the file's images.
TEST(PivsynthProgram, RenderedImagesAreTheFilesImages) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth",
                       {"--size", "48x40", "--pairs", "2", "--field", "vortex", "--gamma", "200", "--noise", "7",
                        "--seed", "5", "--out", "v.b16"},
                       dir.path())
                .status,
            0);
  TruthRecord record;
  std::string error;
  ASSERT_TRUE(ReadTruthFile(dir.file("v.b16.truth"), record, error)) << error;
  std::vector<std::vector<uint16_t>> images;
  EXPECT_TRUE(RenderImages(record, [&images](const std::vector<uint16_t>& image) {
    images.push_back(image);
    return true;
  }));
  EXPECT_EQ(images, ReadPairFile(dir.file("v.b16")).images);

  // A refusal ends the rendering at once.
  int taken = 0;
  EXPECT_FALSE(RenderImages(record, [&taken](const std::vector<uint16_t>&) { return ++taken < 3; }));
  EXPECT_EQ(taken, 3);
}

TEST(PivsynthProgram, DefaultsWriteSynthB16) {
  TempDir dir;
  const RunResult r = RunProgram("pivsynth", {}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("synth.b16")).size(), 4u + 2u * 2u * 256u * 256u);
  EXPECT_TRUE(FileExists(dir.file("synth.b16.truth")));
}

TEST(PivsynthProgram, RotationAtRestAboutAFarCentreDrawsAsAnyFieldAtRest) {
  TempDir dir;
  const std::vector<std::string> size = {"--size", "16x16", "--field", "rotation", "--out"};
  auto run = [&](const std::string& out, const std::string& center) {
    std::vector<std::string> args = size;
    args.push_back(out);
    if (!center.empty()) args.insert(args.end(), {"--center", center});
    const RunResult r = RunProgram("pivsynth", args, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  };
  const std::string far = run("far.b16", "-1.7e308,1.7e308");
  const std::string near = run("near.b16", "");
  // 0.02 per pixel over 16 + 2 * reach pixels a side: the same count for both centres.
  EXPECT_EQ(far.substr(0, far.find(" to ")), near.substr(0, near.find(" to ")));
  EXPECT_EQ(far.find("-9223372036854775808"), std::string::npos) << far;
  EXPECT_EQ(ReadFile(dir.file("far.b16")), ReadFile(dir.file("near.b16")));
}

TEST(PivsynthProgram, SameSeedSameBytesOtherSeedOtherBytes) {
  TempDir dir;
  const std::vector<std::string> base = {"--size", "64x48", "--noise", "5", "--field", "shear", "--shear", "0.03"};
  auto run = [&](const std::string& out, const std::vector<std::string>& extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("--out");
    args.push_back(out);
    EXPECT_EQ(RunProgram("pivsynth", args, dir.path()).status, 0);
    return ReadFile(dir.file(out));
  };
  const std::string a = run("a.b16", {}), b = run("b.b16", {}), c = run("c.b16", {"--seed", "2"});
  const std::string d = run("d.b16", {"--seed", "1"});
  ASSERT_EQ(a.size(), 4u + 4u * 64u * 48u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, d);  // 1 is the default seed
  EXPECT_NE(a, c);
}

TEST(PivsynthProgram, IntegerShiftMovesTheWholePictureAndParticlesEnterFromOutside) {
  TempDir dir;
  const RunResult r = RunProgram(
      "pivsynth", {"--size", "64x48", "--dx", "3", "--dy", "-2", "--density", "0.05", "--out", "s.b16"}, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const PairFile f = ReadPairFile(dir.file("s.b16"));
  ASSERT_EQ(f.images.size(), 2u);
  const auto& one = f.images[0];
  const auto& two = f.images[1];
  for (int y = 2; y < 48; ++y)
    for (int x = 0; x + 3 < 64; ++x)
      ASSERT_NEAR(two[(y - 2) * 64 + x + 3], one[y * 64 + x], 1) << x << "," << y;
  // The strips that image 1 does not show are filled from the margin too.
  double left = 0.0, bottom = 0.0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 3; ++x) left += two[y * 64 + x];
  for (int y = 46; y < 48; ++y)
    for (int x = 0; x < 64; ++x) bottom += two[y * 64 + x];
  EXPECT_GT(left, 0.0);
  EXPECT_GT(bottom, 0.0);
}

TEST(PivsynthProgram, BrightnessFollowsTheSeedingDensity) {
  TempDir dir;
  for (double density : {0.01, 0.04}) {
    const RunResult r = RunProgram(
        "pivsynth", {"--size", "300x300", "--density", FormatNumber(density), "--diameter", "3"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const PairFile f = ReadPairFile(dir.file("synth.b16"));
    ASSERT_EQ(f.images.size(), 2u);
    double sum = 0.0;
    for (uint16_t v : f.images[0]) sum += v;
    const double expected = density * ParticleTotalIntensity(kPeakMean, 3.0);
    EXPECT_NEAR(sum / (300.0 * 300.0), expected, 0.1 * expected) << "density " << density;
  }
}

TEST(PivsynthProgram, NoiseIsAddedOnlyWhenAskedFor) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth", {"--size", "100x100", "--density", "0", "--out", "q.b16"}, dir.path()).status, 0);
  ASSERT_EQ(
      RunProgram("pivsynth", {"--size", "100x100", "--density", "0", "--noise", "20", "--out", "n.b16"}, dir.path())
          .status,
      0);
  const PairFile quiet = ReadPairFile(dir.file("q.b16")), noisy = ReadPairFile(dir.file("n.b16"));
  ASSERT_EQ(quiet.images.size(), 2u);
  ASSERT_EQ(noisy.images.size(), 2u);
  for (uint16_t v : quiet.images[1]) ASSERT_EQ(v, 0);
  // Negative values clip to zero, so the mean is that of the positive half: 20 / sqrt(2 pi).
  double sum = 0.0;
  for (uint16_t v : noisy.images[1]) sum += v;
  EXPECT_NEAR(sum / 10000.0, 20.0 / std::sqrt(2.0 * kPi), 0.5);
  EXPECT_NE(noisy.images[0], noisy.images[1]);
}

TEST(PivsynthProgram, TruthFileHoldsTheFieldAndTheSettings) {
  TempDir dir;
  ASSERT_EQ(RunProgram("pivsynth",
                       {"--field", "vortex", "--profile", "rankine", "--gamma", "150.5", "--core", "8", "--center",
                        "100,60.25", "--size", "200x120", "--pairs", "2", "--diameter", "3.2", "--density", "0.015",
                        "--noise", "4", "--seed", "99", "--out", "v.b16"},
                       dir.path())
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.file("v.b16.truth")),
            "field = vortex\nprofile = rankine\ngamma = 150.5\ncore = 8\ncenter = 100,60.25\nsize = 200x120\n"
            "pairs = 2\ndiameter = 3.2\ndensity = 0.015\nnoise = 4\nseed = 99\n");

  ASSERT_EQ(RunProgram("pivsynth", {"--field", "rotation", "--omega", "-0.01", "--size", "64x32", "--out", "r.b16"},
                       dir.path())
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.file("r.b16.truth")),
            "field = rotation\nomega = -0.01\ncenter = 31.5,15.5\nsize = 64x32\npairs = 1\ndiameter = 2.5\n"
            "density = 0.02\nnoise = 0\nseed = 1\n");

  ASSERT_EQ(RunProgram("pivsynth", {"--dx", "2.75", "--dy=-1.5", "--size", "32x32", "--out", "u.b16"}, dir.path())
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.file("u.b16.truth")),
            "field = uniform\ndx = 2.75\ndy = -1.5\nsize = 32x32\npairs = 1\ndiameter = 2.5\n"
            "density = 0.02\nnoise = 0\nseed = 1\n");

  ASSERT_EQ(RunProgram("pivsynth", {"--field", "shear", "--shear", "0.02", "--size", "32x16", "--out", "h.b16"},
                       dir.path())
                .status,
            0);
  EXPECT_EQ(ReadFile(dir.file("h.b16.truth")),
            "field = shear\nshear = 0.02\ncenter = 15.5,7.5\nsize = 32x16\npairs = 1\ndiameter = 2.5\n"
            "density = 0.02\nnoise = 0\nseed = 1\n");
}

TEST(PivsynthProgram, HelpPrintsTheUsageAndExitsZero) {
  TempDir dir;
  for (const char* flag : {"--help", "-h"}) {
    const RunResult r = RunProgram("pivsynth", {flag}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, UsageText());
    EXPECT_EQ(r.err, "");
  }
  EXPECT_FALSE(FileExists(dir.file("synth.b16")));
}

TEST(PivsynthProgram, RefusesBadOptionsAndValues) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"--colour", "red"}, "pivsynth: unknown option '--colour'\n"},
      {{"stray"}, "pivsynth: unexpected argument 'stray'\n"},
      {{"--dx"}, "pivsynth: option --dx needs a value\n"},
      {{"--size", "64x48", "--pairs"}, "pivsynth: option --pairs needs a value\n"},
      {{"--dx", "1.5px"}, "pivsynth: --dx: '1.5px' is not a number\n"},
      {{"--noise", ""}, "pivsynth: --noise: '' is not a number\n"},
      {{"--density", "nan"}, "pivsynth: --density: 'nan' is not a number\n"},
      {{"--pairs", "two"}, "pivsynth: --pairs: 'two' is not a number\n"},
      {{"--pairs", "0"}, "pivsynth: --pairs: must be between 1 and 1000000\n"},
      {{"--size", "256"}, "pivsynth: --size: '256' is not of the form WIDTHxHEIGHT\n"},
      {{"--size", "0x10"}, "pivsynth: --size: width and height must be positive\n"},
      {{"--size", "64x-4"}, "pivsynth: --size: width and height must be positive\n"},
      {{"--size", "5001x10"}, "pivsynth: --size: width and height must be at most 5000\n"},
      {{"--density", "-0.01"}, "pivsynth: --density: must be between 0 and 1 particles per pixel\n"},
      {{"--diameter", "0"}, "pivsynth: --diameter: must be above 0 and at most 100 pixels\n"},
      {{"--noise", "-1"}, "pivsynth: --noise: must be between 0 and 4095 counts\n"},
      {{"--seed", "-3"}, "pivsynth: --seed: '-3' is not a whole number from 0 to 2^64-1\n"},
      {{"--field", "swirl"}, "pivsynth: --field: 'swirl' is not one of uniform, rotation, vortex, shear, sine\n"},
      {{"--field", "vortex", "--profile", "burgers"}, "pivsynth: --profile: 'burgers' is not one of rankine, lamb-oseen\n"},
      {{"--field", "vortex", "--core", "0"}, "pivsynth: --core: the core radius must be positive\n"},
      {{"--center", "10"}, "pivsynth: --center: '10' is not of the form X,Y\n"},
      {{"--omega", "0.1"}, "pivsynth: --omega does not apply to --field uniform\n"},
      {{"--field", "rotation", "--dx", "1"}, "pivsynth: --dx does not apply to --field rotation\n"},
      {{"--field", "shear", "--gamma", "1"}, "pivsynth: --gamma does not apply to --field shear\n"},
      {{"--center", "1,2"}, "pivsynth: --center does not apply to --field uniform\n"},
      {{"--out", ""}, "pivsynth: --out: the file name is empty\n"},
      {{"--size", "5000x5000", "--pairs", "22"},
       "pivsynth: --pairs: the file would exceed 2 GiB; ask for fewer pairs or smaller images\n"},
  };
  TempDir dir;
  for (const Case& c : cases) ExpectPivsynthRefusal(dir, c.args, c.message);
  EXPECT_FALSE(FileExists(dir.file("synth.b16")));
  EXPECT_FALSE(FileExists(dir.file("synth.b16.truth")));
}

TEST(PivsynthProgram, RefusesOutputItCannotWriteAndLeavesNothingBehind) {
  TempDir dir;
  const RunResult missing = RunProgram("pivsynth", {"--out", "no/such/dir/x.b16"}, dir.path());
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "pivsynth: cannot write 'no/such/dir/x.b16': No such file or directory\n");
  EXPECT_EQ(missing.out, "");

  const RunResult directory = RunProgram("pivsynth", {"--out", dir.path()}, dir.path());
  EXPECT_EQ(directory.status, 1);
  EXPECT_NE(directory.err.find("cannot write"), std::string::npos);

  // The images can be written but the truth file cannot: neither is left behind.
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("t.b16.truth")));
  const RunResult truth = RunProgram("pivsynth", {"--out", "t.b16"}, dir.path());
  EXPECT_EQ(truth.status, 1);
  EXPECT_EQ(truth.err.rfind("pivsynth: cannot write 't.b16.truth'", 0), 0u) << truth.err;
  EXPECT_EQ(truth.out, "");
  EXPECT_FALSE(FileExists(dir.file("t.b16")));
}

// ---------------------------------------------------------------- masks

TEST(PivsynthMask, TheHeadersParticlesNextToAMaskedPixel) {
  PixelBox box{};
  ASSERT_TRUE(ParticleFootprint({10.7, 3.2, 1000.0}, 2.5, 64, 64, box));
  EXPECT_EQ(std::vector<int>({box.x0, box.y0, box.x1, box.y1}), std::vector<int>({4, 0, 16, 9}));
  EXPECT_FALSE(ParticleFootprint({-8.0, 3.2, 1000.0}, 2.5, 64, 64, box));

  MaskImage mask(20, 20);
  mask.Set(10, 10, false);
  const MaskedPixels masked(mask);
  const DisplacementField still;
  const std::vector<Particle> left = {{3.9, 10.0, 2000.0}, {4.0, 10.0, 2000.0}, {16.99, 10.0, 2000.0},
                                     {17.0, 10.0, 2000.0}, {10.0, 3.99, 2000.0}};
  const std::vector<Particle> kept = ParticlesClearOfMask(left, still, SynthScheme::First, 2.5, masked);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0].x, 3.9);
  EXPECT_EQ(kept[1].x, 17.0);
  EXPECT_EQ(kept[2].y, 3.99);
  DisplacementField shift;
  shift.dx = 2.0;
  EXPECT_TRUE(ParticlesClearOfMask({left[0]}, shift, SynthScheme::First, 2.5, masked).empty());
  EXPECT_EQ(ParticlesClearOfMask({left[3]}, shift, SynthScheme::First, 2.5, masked).size(), 1u);

  // The kept particles put no light at all on the masked pixel; one 2 px from it, left out,
  // would.
  IntensityImage image(20, 20), closer(20, 20);
  for (const Particle& p : kept) image.AddParticle(p, 2.5);
  EXPECT_EQ(image.At(10, 10), 0.0);
  const Particle near{8.0, 10.0, 2000.0};
  closer.AddParticle(near, 2.5);
  EXPECT_GT(closer.At(10, 10), 1.0);
  EXPECT_TRUE(ParticlesClearOfMask({near}, still, SynthScheme::First, 2.5, masked).empty());
}

TEST(PivsynthMask, MaskedPixelsAgreeWithABruteForceSearch) {
  const int w = 53, h = 31;
  MaskImage mask(w, h);
  SynthRandom random(5);
  for (int k = 0; k < 40; ++k)
    mask.Set(static_cast<int>(random.Uniform() * w), static_cast<int>(random.Uniform() * h), false);
  const MaskedPixels masked(mask);
  int found = 0;
  for (int k = 0; k < 3000; ++k) {
    int x0 = static_cast<int>(random.Uniform() * w), x1 = static_cast<int>(random.Uniform() * w);
    int y0 = static_cast<int>(random.Uniform() * h), y1 = static_cast<int>(random.Uniform() * h);
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    bool any = false;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) any = any || !mask.Flow(x, y);
    ASSERT_EQ(masked.AnyIn({x0, y0, x1, y1}), any) << x0 << "," << y0 << " to " << x1 << "," << y1;
    found += any;
  }
  EXPECT_GT(found, 300);
  EXPECT_LT(found, 2700);
}

namespace {

// The Chebyshev distance of every pixel to the nearest masked one (0 on the mask).
std::vector<int> DistanceToMask(const MaskImage& mask) {
  const int w = mask.Width(), h = mask.Height();
  std::vector<int> distance(static_cast<size_t>(w) * h, w + h);
  for (int my = 0; my < h; ++my)
    for (int mx = 0; mx < w; ++mx) {
      if (mask.Flow(mx, my)) continue;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          int& d = distance[static_cast<size_t>(y) * w + x];
          d = std::min(d, std::max(std::abs(x - mx), std::abs(y - my)));
        }
    }
  return distance;
}

}  // namespace

TEST(PivsynthMask, NoParticleLightsAMaskedPixelInEitherImage) {
  TempDir dir;
  const std::vector<std::string> base = {"--size", "96x72", "--dx", "5", "--dy", "-4", "--density", "0.05",
                                         "--pairs", "2", "--seed", "4"};
  std::vector<std::string> masked_args = base;
  masked_args.insert(masked_args.end(), {"--mask-circle", "30,36,9.5", "--mask-rect", "70,-10,200,12", "--out",
                                         "m.b16"});
  std::vector<std::string> plain_args = base;
  plain_args.insert(plain_args.end(), {"--out", "p.b16"});
  const RunResult r = RunProgram("pivsynth", masked_args, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(RunProgram("pivsynth", plain_args, dir.path()).status, 0);

  TruthRecord truth;
  std::string error;
  ASSERT_TRUE(ReadTruthFile(dir.file("m.b16.truth"), truth, error)) << error;
  ASSERT_EQ(truth.masks.size(), 2u);
  const MaskImage expected = RasterizeMask(truth.masks, 96, 72);
  // 293 pixels within 9.5 px of (30, 36) (whole i, j with i^2 + j^2 <= 90: 19 in each of
  // the columns i = 0, +-1, +-2, +-3, then 17, 17, 15, 13, 11 and 7 in +-4 to +-9), and
  // columns 70 to 95 of rows 0 to 12.
  EXPECT_EQ(expected.MaskedCount(), 293 + 26 * 13);
  EXPECT_EQ(r.out, "pivsynth: wrote 4 images of 96x72 px (2 pairs, " + std::to_string(ParticlesPerPair(truth)) +
                       " particles per pair, uniform field) to m.b16, truth in m.b16.truth, mask in m.b16.mask.png (" +
                       std::to_string(293 + 26 * 13) + " of 6912 pixels masked)\n");

  MaskImage written;
  MaskFileKind kind = MaskFileKind::ImagePair;
  ASSERT_TRUE(ReadMaskFile(dir.file("m.b16.mask.png"), written, kind, error)) << error;
  EXPECT_EQ(kind, MaskFileKind::Png);
  EXPECT_EQ(written.Bytes(), expected.Bytes());

  const PairFile masked = ReadPairFile(dir.file("m.b16")), plain = ReadPairFile(dir.file("p.b16"));
  ASSERT_EQ(masked.images.size(), 4u);
  ASSERT_EQ(plain.images.size(), 4u);
  const std::vector<int> distance = DistanceToMask(expected);
  // A particle left out lit pixels at most 2 reaches + 1 from the mask in one image, and the
  // shift of 5 px further in the other: beyond that both runs drew the same particles.
  const int untouched = 2 * ParticleReach(2.5) + 1 + 5;
  for (size_t i = 0; i < 4; ++i) {
    double inside = 0.0, near = 0.0, far_pixels = 0.0;
    for (size_t k = 0; k < distance.size(); ++k) {
      const uint16_t v = masked.images[i][k];
      if (distance[k] == 0) inside += v;
      if (distance[k] >= 1 && distance[k] <= ParticleReach(2.5)) near += v;
      ASSERT_LE(v, plain.images[i][k]) << "image " << i + 1 << ", pixel " << k;
      if (distance[k] > untouched) {
        ASSERT_EQ(v, plain.images[i][k]) << "image " << i + 1 << ", pixel " << k;
        far_pixels++;
      }
    }
    EXPECT_EQ(inside, 0.0) << "image " << i + 1;
    // The flow is seeded up to the mask: particles kept beside it light pixels within a reach.
    EXPECT_GT(near, 0.0) << "image " << i + 1;
    EXPECT_GT(far_pixels, 1000) << "image " << i + 1;
  }

  // The images are those RenderImages makes from the truth file, masks and all.
  std::vector<std::vector<uint16_t>> rendered;
  EXPECT_TRUE(RenderImages(truth, [&rendered](const std::vector<uint16_t>& image) {
    rendered.push_back(image);
    return true;
  }));
  EXPECT_EQ(rendered, masked.images);
}

TEST(PivsynthMask, TruthRecordsTheRegionsAndNoiseCoversTheMask) {
  TempDir dir;
  const RunResult r = RunProgram("pivsynth",
                                 {"--size", "100x80", "--noise", "20", "--mask-rect=10,20.5,69,59", "--mask-circle",
                                  "99,0,4.25", "--mask-rect", "0,79,0,79", "--out", "n.b16"},
                                 dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(dir.file("n.b16.truth")),
            "field = uniform\ndx = 0\ndy = 0\nsize = 100x80\npairs = 1\ndiameter = 2.5\ndensity = 0.02\n"
            "noise = 20\nseed = 1\nmask-rect = 10,20.5,69,59\nmask-circle = 99,0,4.25\nmask-rect = 0,79,0,79\n");
  // Noise falls on the masked pixels as on the others (a camera's noise is everywhere):
  // there, clipped at zero, its mean is 20 / sqrt(2 pi).
  const PairFile f = ReadPairFile(dir.file("n.b16"));
  ASSERT_EQ(f.images.size(), 2u);
  double sum = 0.0;
  int count = 0;
  for (int y = 21; y <= 59; ++y)
    for (int x = 10; x <= 69; ++x, ++count) sum += f.images[1][y * 100 + x];
  EXPECT_EQ(count, 39 * 60);
  EXPECT_NEAR(sum / count, 20.0 / std::sqrt(2.0 * kPi), 1.0);
}

TEST(PivsynthMask, RefusesBadRegionsAndLeavesNothingBehindWhenTheMaskCannotBeWritten) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--mask-rect", "1,2,3"}, "--mask-rect: '1,2,3' is not of the form X0,Y0,X1,Y1"},
      {{"--mask-rect", "1,2,3,4,5"}, "--mask-rect: '1,2,3,4,5' is not of the form X0,Y0,X1,Y1"},
      {{"--mask-rect", "1,2,,4"}, "--mask-rect: '1,2,,4' is not of the form X0,Y0,X1,Y1"},
      {{"--mask-rect", "5,1,4,9"}, "--mask-rect: X1 must not be below X0, nor Y1 below Y0"},
      {{"--mask-rect", "1,9,4,8"}, "--mask-rect: X1 must not be below X0, nor Y1 below Y0"},
      {{"--mask-circle", "1,2"}, "--mask-circle: '1,2' is not of the form X,Y,R"},
      {{"--mask-circle", "1,2,inf"}, "--mask-circle: '1,2,inf' is not of the form X,Y,R"},
      {{"--mask-circle", "1,2,0"}, "--mask-circle: the radius must be positive"},
      {{"--mask-circle"}, "option --mask-circle needs a value"},
      // Beside the 256 x 256 image, or between pixel centres.
      {{"--mask-rect", "256,0,300,10"}, "--mask-rect 256,0,300,10 covers no pixel of the 256x256 image"},
      {{"--mask-rect", "3.2,0,3.8,10"}, "--mask-rect 3.2,0,3.8,10 covers no pixel of the 256x256 image"},
      {{"--size", "64x48", "--mask-circle", "-5,-5,7"}, "--mask-circle -5,-5,7 covers no pixel of the 64x48 image"},
  };
  TempDir dir;
  for (const auto& [args, message] : cases) ExpectPivsynthRefusal(dir, args, "pivsynth: " + message + "\n");
  // A region that reaches past the image is clipped to it.
  EXPECT_EQ(RunProgram("pivsynth", {"--size", "64x48", "--mask-circle", "-5,-5,7.1"}, dir.path()).status, 0);
  std::filesystem::remove(dir.file("synth.b16"));
  std::filesystem::remove(dir.file("synth.b16.truth"));
  std::filesystem::remove(dir.file("synth.b16.mask.png"));

  ASSERT_TRUE(std::filesystem::create_directory(dir.file("x.b16.mask.png")));
  const RunResult r = RunProgram("pivsynth", {"--mask-rect", "0,0,9,9", "--out", "x.b16"}, dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "pivsynth: cannot write 'x.b16.mask.png': Is a directory\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(FileExists(dir.file("x.b16")));
  EXPECT_FALSE(FileExists(dir.file("x.b16.truth")));

  // The truth file cannot be written: the images and the mask go with it.
  ASSERT_TRUE(std::filesystem::create_directory(dir.file("y.b16.truth")));
  const RunResult t = RunProgram("pivsynth", {"--mask-rect", "0,0,9,9", "--out", "y.b16"}, dir.path());
  EXPECT_EQ(t.status, 1);
  EXPECT_FALSE(FileExists(dir.file("y.b16")));
  EXPECT_FALSE(FileExists(dir.file("y.b16.mask.png")));
}
