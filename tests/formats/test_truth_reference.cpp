// The true displacement referred to the midpoint of a particle's path or to its start, from a
// truth given at either (TruthReference.h): closed forms of a solid rotation, a shear, a
// uniform shift and a shifted sine wave, the residual of the path equation in a vortex, and
// the steps that do not converge.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "DisplacementField.h"
#include "TruthFile.h"
#include "TruthReference.h"

namespace {

const double kPi = 3.14159265358979323846;

Displacement Referred(const DisplacementField& f, SynthScheme scheme, ReferencePoint reference, double x, double y) {
  Displacement d;
  EXPECT_TRUE(ReferredDisplacement(f, scheme, reference, x, y, d)) << x << ", " << y;
  return d;
}

void ExpectNear(const Displacement& d, double dx, double dy, double tolerance, const char* what) {
  EXPECT_NEAR(d.dx, dx, tolerance) << what;
  EXPECT_NEAR(d.dy, dy, tolerance) << what;
}

// A field from truth-file settings, "key=value" words apart.
DisplacementField Field(const std::string& settings) {
  TruthRecord record;
  TruthRecordParser parser(record);
  std::istringstream words(settings);
  std::string word;
  while (words >> word) {
    const size_t eq = word.find('=');
    EXPECT_TRUE(parser.Apply("--" + word.substr(0, eq), word.substr(eq + 1))) << parser.Error();
  }
  EXPECT_TRUE(parser.Finish()) << parser.Error();
  return record.field;
}

DisplacementField Rotation(double omega, double cx, double cy) {
  return Field("field=rotation omega=" + FormatNumber(omega) + " center=" + FormatNumber(cx) + "," + FormatNumber(cy));
}

}  // namespace

TEST(TruthReference, TheHeadersExample) {
  const DisplacementField spin = Rotation(0.2, 50, 50);
  ExpectNear(Referred(spin, SynthScheme::First, ReferencePoint::First, 60, 50), 0, 2, 0, "first, first");
  ExpectNear(Referred(spin, SynthScheme::First, ReferencePoint::Midpoint, 60, 50), 0.19802, 1.98020, 5e-6,
             "first, midpoint");
  ExpectNear(Referred(spin, SynthScheme::Symmetric, ReferencePoint::Midpoint, 60, 50), 0, 2, 0, "symmetric, midpoint");
  ExpectNear(Referred(spin, SynthScheme::Symmetric, ReferencePoint::First, 60, 50), -0.19802, 1.98020, 5e-6,
             "symmetric, first");

  for (SynthScheme scheme : {SynthScheme::First, SynthScheme::Symmetric})
    for (ReferencePoint reference : {ReferencePoint::First, ReferencePoint::Midpoint})
      ExpectNear(Referred(Field("field=shear shear=0.1 center=0,0"), scheme, reference, 5, 20), 2, 0, 1e-12, "shear");

  const DisplacementField wave = Field("field=sine amplitude=1 wavelength=40 dx=10");
  ExpectNear(Referred(wave, SynthScheme::First, ReferencePoint::First, 15, 0), 10, 0.70711, 5e-6, "sine, first");
  ExpectNear(Referred(wave, SynthScheme::First, ReferencePoint::Midpoint, 15, 0), 10, 1, 1e-12, "sine, midpoint");

  Displacement untouched{7, 7};
  EXPECT_FALSE(ReferredDisplacement(Rotation(3, 50, 50), SynthScheme::First, ReferencePoint::Midpoint, 60, 50,
                                    untouched));
  EXPECT_EQ(untouched.dx, 7);
  EXPECT_EQ(untouched.dy, 7);
}

// u = omega J r about the centre (J r = (-ry, rx), J^2 = -1), a = omega / 2: the midpoint
// from the first-image truth solves (1 + a J) x = q, so F(q) = omega (J q + a q) / (1 + a^2);
// the start from the midpoint truth solves (1 - a J) d = omega J q, d = omega (J q - a q) / (1 + a^2).
TEST(TruthReference, SolidRotationInClosedForm) {
  for (const double omega : {0.02, -0.05, 0.3}) {
    const DisplacementField f = Rotation(omega, 100, 80);
    const double a = omega / 2;
    for (const double rx : {-40.0, 0.0, 13.5, 60.0})
      for (const double ry : {-25.0, 0.5, 70.0}) {
        const double jx = -ry, jy = rx, scale = omega / (1 + a * a);
        ExpectNear(Referred(f, SynthScheme::First, ReferencePoint::Midpoint, 100 + rx, 80 + ry),
                   scale * (jx + a * rx), scale * (jy + a * ry), 1e-8, "first to midpoint");
        ExpectNear(Referred(f, SynthScheme::Symmetric, ReferencePoint::First, 100 + rx, 80 + ry),
                   scale * (jx - a * rx), scale * (jy - a * ry), 1e-8, "midpoint to first");
      }
  }
  // To first order the two references differ by omega^2 r / 2, outward from the first-image
  // truth: 0.02^2 * 200 / 2 = 0.04 px at 200 px.
  const DisplacementField f = Rotation(0.02, 0, 0);
  const Displacement mid = Referred(f, SynthScheme::First, ReferencePoint::Midpoint, 200, 0);
  EXPECT_NEAR(mid.dx, 0.04, 1e-4);
}

TEST(TruthReference, UniformShiftAndShearAreTheSameAtBothPoints) {
  for (const DisplacementField& f :
       {Field("field=uniform dx=7.3 dy=-4.6"), Field("field=shear shear=0.02 center=255.5,255.5")})
    for (SynthScheme scheme : {SynthScheme::First, SynthScheme::Symmetric})
      for (ReferencePoint reference : {ReferencePoint::First, ReferencePoint::Midpoint})
        for (const double y : {3.5, 200.0, 511.5}) {
          const Displacement given = DisplacementAt(f, 40.5, y);
          ExpectNear(Referred(f, scheme, reference, 40.5, y), given.dx, given.dy, 1e-12, FieldKindName(f.kind));
        }
}

// A wave along x moved by a shift along x: the particle whose path is centred on q started at
// q_x - dx/2, the wave there is what moved it. The symmetric truth's start lies at q_x + dx/2.
TEST(TruthReference, ShiftedSineWaveInClosedForm) {
  const DisplacementField f = Field("field=sine amplitude=0.75 wavelength=24 dx=3 dy=0.5");
  for (const double x : {0.5, 7.25, 100.0}) {
    const double k = 2 * kPi / 24;
    ExpectNear(Referred(f, SynthScheme::First, ReferencePoint::Midpoint, x, 9), 3,
               0.5 + 0.75 * std::sin(k * (x - 1.5)), 1e-12, "first to midpoint");
    ExpectNear(Referred(f, SynthScheme::Symmetric, ReferencePoint::First, x, 9), 3,
               0.5 + 0.75 * std::sin(k * (x + 1.5)), 1e-12, "midpoint to first");
  }
  // Along y the wave moves particles along x, across its own variation: both points agree.
  const DisplacementField alongY = Field("field=sine amplitude=0.75 wavelength=24 direction=y");
  const Displacement given = DisplacementAt(alongY, 5, 7);
  ExpectNear(Referred(alongY, SynthScheme::First, ReferencePoint::Midpoint, 5, 7), given.dx, given.dy, 1e-12,
             "along y");
}

// In a vortex no closed form is at hand: the answers solve their path equations.
TEST(TruthReference, VortexAnswersSolveThePathEquation) {
  const DisplacementField f = Field("field=vortex gamma=2000 core=20 center=128,128");
  for (const double x : {110.0, 128.0, 140.5, 200.0}) {
    const Displacement m = Referred(f, SynthScheme::First, ReferencePoint::Midpoint, x, 120);
    const Displacement u = DisplacementAt(f, x - m.dx / 2, 120 - m.dy / 2);
    ExpectNear(m, u.dx, u.dy, 2e-9, "d = u(q - d/2)");
    const Displacement s = Referred(f, SynthScheme::Symmetric, ReferencePoint::First, x, 120);
    const Displacement F = DisplacementAt(f, x + s.dx / 2, 120 + s.dy / 2);
    ExpectNear(s, F.dx, F.dy, 2e-9, "d = F(q + d/2)");
  }
}

TEST(TruthReference, StepsThatDivergeAreReported) {
  // Half the gradient above 1: every step moves further off, except at the centre.
  const DisplacementField f = Rotation(3, 0, 0);
  Displacement d;
  for (SynthScheme scheme : {SynthScheme::First, SynthScheme::Symmetric}) {
    const ReferencePoint other = scheme == SynthScheme::First ? ReferencePoint::Midpoint : ReferencePoint::First;
    EXPECT_FALSE(ReferredDisplacement(f, scheme, other, 10, 0, d));
    EXPECT_TRUE(ReferredDisplacement(f, scheme, other, 0, 0, d));
    // Where the truth is given as asked, nothing is solved.
    const ReferencePoint same = scheme == SynthScheme::First ? ReferencePoint::First : ReferencePoint::Midpoint;
    EXPECT_TRUE(ReferredDisplacement(f, scheme, same, 10, 0, d));
  }
  // Just below the limit the steps converge, slowly.
  EXPECT_TRUE(ReferredDisplacement(Rotation(1.6, 0, 0), SynthScheme::First, ReferencePoint::Midpoint, 10, 0, d));
}

TEST(TruthReference, NamesReadBack) {
  SynthScheme scheme = SynthScheme::First;
  EXPECT_TRUE(ParseSynthScheme("symmetric", scheme) && scheme == SynthScheme::Symmetric);
  EXPECT_TRUE(ParseSynthScheme("first", scheme) && scheme == SynthScheme::First);
  EXPECT_FALSE(ParseSynthScheme("central", scheme));
  ReferencePoint reference = ReferencePoint::Midpoint;
  EXPECT_TRUE(ParseReferencePoint("first", reference) && reference == ReferencePoint::First);
  EXPECT_TRUE(ParseReferencePoint("midpoint", reference) && reference == ReferencePoint::Midpoint);
  EXPECT_FALSE(ParseReferencePoint("Midpoint", reference));
  EXPECT_STREQ(SynthSchemeName(SynthScheme::Symmetric), "symmetric");
  EXPECT_STREQ(ReferencePointName(ReferencePoint::First), "first");
}
