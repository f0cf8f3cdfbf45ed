// Background and pre-processing (-bg, -highpass, -cap) end to end: the built programs on
// pivsynth images with a camera's static background, in fresh directories. The glow-and-band
// pair and the dark corner with a row pattern meet their targets; windows left without
// particle images (a bright static body, a dark corner) never give a valid vector in any mode;
// the background over a series is the minimum of all its images; masked pixels matter for
// nothing; the results do not depend on the threads; the console line, the series' record and
// the refusals say what they should, and runs without the options stay as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "ImagePairFile.h"
#include "TestSupport.h"

namespace {

struct Images {
  int width = 0, height = 0;
  std::vector<std::vector<uint16_t>> images;
};

Images ReadImages(const std::string& path) {
  ImagePairFileReader reader;
  Images in;
  EXPECT_EQ(reader.Open(path.c_str()), ImagePairFileReader::Status::Ok) << path;
  in.width = reader.Width();
  in.height = reader.Height();
  for (int id = 1; id <= reader.NumberImages(); ++id) {
    std::vector<uint16_t> image(static_cast<size_t>(reader.PixelsPerImage()));
    EXPECT_EQ(reader.ReadImage(id, image.data()), image.size());
    in.images.push_back(image);
  }
  return in;
}

void Synthesise(const TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> all = args;
  all.insert(all.end(), {"--out", "p.b16"});
  const RunResult r = RunProgram("pivsynth", all, dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  // A first run writes the wisdom file, so that the runs compared all import it.
  ASSERT_EQ(RunProgram("tarvex", {"-dft", "32", "p.b16"}, dir.path(), "1 2\n").status, 0);
  std::remove(dir.file("p.dpiv").c_str());
}

RunResult Tarvex(const TempDir& dir, std::vector<std::string> options, const std::string& pair = "1 2\n") {
  std::vector<std::string> args = {"-dft", "32", "-gspac", "16", "16"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back("p.b16");
  return RunProgram("tarvex", args, dir.path(), pair);
}

// The DPIV file's records without its comment lines (whose title names the file).
std::string Records(const std::string& path) {
  const std::string text = ReadFile(path);
  size_t at = 0;
  for (int line = 0; line < 12 && at != std::string::npos; ++line) at = text.find('\n', at) + 1;
  return text.substr(at);
}

TEST(CameraEndToEnd, TheGlowAndBandPairMeetsItsTarget) {
  // A uniform shift under a glow of 0 to 900 counts across the image and a reflection band of
  // 1200 counts on 30 rows, the same in both images.
  TempDir dir;
  Synthesise(dir, {"--size", "512x512", "--dx", "3.3", "--dy", "-1.6", "--glow", "900", "--band", "240,269,1200",
                   "--seed", "11"});
  ASSERT_EQ(Tarvex(dir, {"-deform", "3"}).status, 0);
  const TruthScore without = CompareWithTruth(dir);
  EXPECT_GT(without.outliers, 1.0) << "the band pulls vectors to zero";
  const RunResult r = Tarvex(dir, {"-deform", "3", "-bg", "min"});
  ASSERT_EQ(r.status, 0) << r.err;
  const TruthScore s = CompareWithTruth(dir);
  EXPECT_EQ(s.valid, 900);
  EXPECT_LE(s.rms, 0.03);
  EXPECT_LE(s.outliers, 0.5);
  // The line after the grid's, once; the count of windows before the passes' lines.
  EXPECT_NE(r.out.find("TARVEX analysis grid = 31 x 31\nPre-processing: background minimum of 2 images (opened 7 "
                       "px)\n\nCalculating TARVEX, please wait .....\n\tNo particle images in 0 of 961 windows: not "
                       "measured\n\tDeformation pass 1: "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err, "");
}

// The corner of 384 x 384 px from (224, 224) on: particle light a twentieth, and a row
// pattern of 100 counts on its odd rows, as some sensors add in the dark.
void SynthesiseDarkCorner(const TempDir& dir, const std::string& dimming) {
  Synthesise(dir, {"--size", "384x384", "--dx", "-7.4", "--dy", "0.8", "--dim", "224,224,383,383," + dimming,
                   "--row-pattern", "100,224,224,383,383", "--noise", "2", "--seed", "2"});
}

TEST(CameraEndToEnd, ADarkCornerWithARowPatternFollowsTheFlowBesideIt) {
  TempDir dir;
  SynthesiseDarkCorner(dir, "0.05");
  const auto corner = [&dir](int* valid, double* farthest) {
    // The flow beside the corner: the median of the valid vectors of the two columns left of it.
    std::vector<double> us, vs;
    const std::vector<DPIVRecord> records = ReadDPIVFile(dir.file("p.dpiv"));
    for (const DPIVRecord& r : records)
      if (r.flag == 1 && r.y >= 239 && r.x >= 175 && r.x <= 191) {
        us.push_back(r.u);
        vs.push_back(r.v);
      }
    EXPECT_GE(us.size(), 8u);
    std::nth_element(us.begin(), us.begin() + us.size() / 2, us.end());
    std::nth_element(vs.begin(), vs.begin() + vs.size() / 2, vs.end());
    const double u = us[us.size() / 2], v = vs[vs.size() / 2];
    EXPECT_NEAR(u, -7.4, 0.1);
    EXPECT_NEAR(v, 0.8, 0.1);
    *valid = 0;
    *farthest = 0;
    for (const DPIVRecord& r : records) {
      // Windows wholly in the corner that fit in the image.
      if (r.x < 239 || r.y < 239 || r.x > 351 || r.y > 351 || r.flag != 1) continue;
      (*valid)++;
      *farthest = std::max(*farthest, std::hypot(r.u - u, r.v - v));
    }
  };
  int valid = 0;
  double farthest = 0;
  // 64 windows lie wholly in the corner and fit in the image.
  ASSERT_EQ(Tarvex(dir, {"-deform", "3", "-dft0", "64"}).status, 0);
  corner(&valid, &farthest);
  EXPECT_LE(valid, 50) << "the pattern spoils part of the corner";
  ASSERT_EQ(Tarvex(dir, {"-deform", "3", "-dft0", "64", "-bg", "min"}).status, 0);
  corner(&valid, &farthest);
  EXPECT_GE(valid, 60);
  EXPECT_LE(farthest, 1.5);
}

// Points whose windows lie wholly in the rectangle [x0, x1] x [y0, y1] of a 32 px grid.
bool InRegion(const DPIVRecord& r, int x0, int y0, int x1, int y1) {
  return r.x - 15 >= x0 && r.x + 16 <= x1 && r.y - 15 >= y0 && r.y + 16 <= y1;
}

TEST(CameraEndToEnd, WindowsWithoutParticleImagesAreNeverValid) {
  // A dark corner (no particle light, the camera's noise) and a bright static body of 3000
  // counts with noise, without particles, in both images.
  TempDir dir;
  Synthesise(dir, {"--size", "256x256", "--dx", "3.2", "--dy", "1.1", "--dim", "160,160,255,255,0", "--noise",
                   "4", "--seed", "3"});
  Images p = ReadImages(dir.file("p.b16"));
  std::mt19937 random(1);
  std::normal_distribution<double> noise(3000.0, 4.0);
  for (std::vector<uint16_t>& image : p.images)
    for (int y = 16; y < 112; ++y)
      for (int x = 16; x < 112; ++x)
        image[static_cast<size_t>(y) * 256 + x] = static_cast<uint16_t>(std::lround(noise(random)));
  WriteImagePairFile(dir.file("p.b16"), 256, 256, p.images);

  const auto featureless = [&dir](int* valid, int* points) {
    *valid = *points = 0;
    for (const DPIVRecord& r : ReadDPIVFile(dir.file("p.dpiv"))) {
      if (!InRegion(r, 16, 16, 111, 111) && !InRegion(r, 160, 160, 255, 255)) continue;
      (*points)++;
      *valid += r.flag == 1;
    }
  };
  int valid = 0, points = 0;
  ASSERT_EQ(Tarvex(dir, {}).status, 0);
  featureless(&valid, &points);
  EXPECT_EQ(points, 50);  // 25 in the body, 25 in the corner (9 of them never fit in the image)
  EXPECT_GT(valid, 20) << "without a background every window gives a vector";
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{}, {"-subpix", "gauss3", "-meansub"}, {"-i"}, {"-MVOcheck", "1", "-s"},
        {"-deform", "2"}, {"-deform", "2", "-dft0", "64"}}) {
    std::vector<std::string> options = mode;
    options.insert(options.end(), {"-bg", "min"});
    const RunResult r = Tarvex(dir, options);
    ASSERT_EQ(r.status, 0) << r.err;
    featureless(&valid, &points);
    EXPECT_EQ(valid, 0) << r.out;
    // Exactly the windows wholly in the body or the corner hold none; those reaching out of
    // them hold particle images.
    EXPECT_NE(r.out.find("\tNo particle images in 50 of 225 windows: not measured\n"), std::string::npos) << r.out;
  }
}

TEST(CameraEndToEnd, TheBackgroundOfASeriesIsTheMinimumOfAllItsImages) {
  // Eight images: the plain minimum, which -bg FILE subtracts the same, bit for bit.
  TempDir dir;
  Synthesise(dir, {"--size", "128x128", "--pairs", "4", "--dx", "1.5", "--dy", "-0.5", "--glow", "300", "--band",
                   "40,60,500"});
  const Images p = ReadImages(dir.file("p.b16"));
  std::vector<uint16_t> minimum(p.images[0]);
  for (const std::vector<uint16_t>& image : p.images)
    for (size_t i = 0; i < minimum.size(); ++i) minimum[i] = std::min(minimum[i], image[i]);
  WriteImagePairFile(dir.file("bg.b16"), 128, 128, {minimum});
  const RunResult series = Tarvex(dir, {"-deform", "1", "-bg", "min", "-all", "1", "1", "2"});
  ASSERT_EQ(series.status, 0) << series.err;
  EXPECT_NE(series.out.find("Pre-processing: background minimum of 8 images\n"), std::string::npos) << series.out;
  const RunResult third = Tarvex(dir, {"-deform", "1", "-bg", "bg.b16"}, "5 6\n");
  ASSERT_EQ(third.status, 0) << third.err;
  EXPECT_NE(third.out.find("Pre-processing: background from bg.b16\n"), std::string::npos);
  EXPECT_EQ(Records(dir.file("p.0005.dpiv")), Records(dir.file("p.dpiv")));
  // The mean of eight images, for the console.
  const RunResult mean = Tarvex(dir, {"-bg", "mean", "-highpass", "9", "-cap", "-all", "1", "1", "2"});
  ASSERT_EQ(mean.status, 0);
  EXPECT_NE(
      mean.out.find("Pre-processing: background mean of 8 images, high-pass 9 px, capping at median + 2 sigma\n"),
      std::string::npos)
      << mean.out;
}

TEST(CameraEndToEnd, MaskedPixelsMatterForNothing) {
  // Whatever lies under the mask, in all images (a wall's glare, noise), the files are the same.
  TempDir dir;
  Synthesise(dir, {"--size", "192x160", "--dx", "2.2", "--dy", "0.7", "--glow", "400", "--mask-rect",
                   "100,60,191,100"});
  const std::vector<std::string> options = {"-bg", "min", "-highpass", "9", "-cap", "-deform", "1",
                                            "-mask", "p.b16.mask.png"};
  ASSERT_EQ(Tarvex(dir, options).status, 0);
  const std::string clean = Records(dir.file("p.dpiv"));
  Images p = ReadImages(dir.file("p.b16"));
  for (size_t k = 0; k < p.images.size(); ++k)
    for (int y = 60; y <= 100; ++y)
      for (int x = 100; x < 192; ++x)
        p.images[k][static_cast<size_t>(y) * 192 + x] = static_cast<uint16_t>(4000 - 37 * ((x + 3 * y + 5 * k) % 50));
  WriteImagePairFile(dir.file("p.b16"), 192, 160, p.images);
  const RunResult r = Tarvex(dir, options);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Records(dir.file("p.dpiv")) == clean) << "the glare under the mask changed the field";
}

TEST(CameraEndToEnd, TheSameFilesOnAnyNumberOfThreads) {
  TempDir dir;
  Synthesise(dir, {"--size", "256x192", "--field", "vortex", "--gamma", "500", "--core", "30", "--glow", "600",
                   "--dim", "0,0,70,60,0", "--noise", "3"});
  std::string out, records;
  for (const char* threads : {"1", "2", "0"}) {
    const RunResult r = Tarvex(dir, {"-bg", "min", "-highpass", "15", "-cap", "-deform", "2", "-j", threads});
    ASSERT_EQ(r.status, 0) << r.err;
    if (out.empty()) {
      out = r.out;
      records = ReadFile(dir.file("p.dpiv"));
      continue;
    }
    EXPECT_TRUE(r.out == out) << "-j " << threads;
    EXPECT_TRUE(ReadFile(dir.file("p.dpiv")) == records) << "-j " << threads;
  }
}

TEST(CameraEndToEnd, RunsWithoutTheOptionsPrintAndRecordNothingNew) {
  TempDir dir;
  Synthesise(dir, {"--size", "128x96", "--pairs", "2", "--dx", "1.5", "--glow", "200"});
  const RunResult plain = RunProgram("tarvex", {"-dft", "32", "-all", "1", "1", "2", "p.b16"}, dir.path());
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out.find("Pre-processing"), std::string::npos);
  EXPECT_EQ(plain.out.find("No particle images"), std::string::npos);
  const std::string record = ReadFile(dir.file("p.series.txt"));
  EXPECT_EQ(record.find("-bg"), std::string::npos);
  EXPECT_EQ(record.substr(record.size() - 10), "-mask off\n");

  // A run that pre-processes records all three settings, and -resume compares them.
  const RunResult bg = RunProgram("tarvex", {"-dft", "32", "-bg", "min", "-all", "1", "1", "2", "p.b16"}, dir.path());
  ASSERT_EQ(bg.status, 0) << bg.err;
  const std::string withBackground = ReadFile(dir.file("p.series.txt"));
  EXPECT_EQ(withBackground.substr(withBackground.find("-mask off\n")), "-mask off\n-bg min\n-highpass off\n-cap off\n");
  const RunResult other =
      RunProgram("tarvex", {"-resume", "-dft", "32", "-bg", "mean", "-all", "1", "1", "2", "p.b16"}, dir.path());
  EXPECT_EQ(other.status, 1);
  EXPECT_EQ(other.err, "tarvex: cannot resume: p.series.txt records -bg min, this run has -bg mean; nothing written\n");
  const RunResult none = RunProgram("tarvex", {"-resume", "-dft", "32", "-all", "1", "1", "2", "p.b16"}, dir.path());
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err,
            "tarvex: cannot resume: p.series.txt records -bg min, this run has nothing more; nothing written\n");
  const RunResult same =
      RunProgram("tarvex", {"-resume", "-dft", "32", "-bg", "min", "-all", "1", "1", "2", "p.b16"}, dir.path());
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.out.find("Resuming: 2 pairs already written"), std::string::npos);
}

// Every file of dir, by name.
std::vector<std::string> Listing(const TempDir& dir) {
  const RunResult ls = RunProgram("/bin/ls", {"-A"}, dir.path());
  return {ls.out};
}

TEST(CameraEndToEnd, UnusableValuesAreRefusedWithNothingWritten) {
  TempDir dir;
  Synthesise(dir, {"--size", "64x64"});
  std::remove(dir.file("FFTPlans.Wisdom.dat").c_str());  // not even the wisdom file is written
  WriteImagePairFile(dir.file("small.b16"), 32, 32, {std::vector<uint16_t>(32 * 32, 5)});
  WriteFile(dir.file("text.b16"), "ab");
  WriteImagePairFile(dir.file("p.dpiv"), 64, 64, {std::vector<uint16_t>(64 * 64, 5)});
  const std::vector<std::string> before = Listing(dir);
  ASSERT_NE(before[0].find("p.b16"), std::string::npos);
  struct Refusal {
    std::vector<std::string> options;
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {{"-bg", "minimum"},
       "tarvex: -bg takes min, mean or an image-pair file: cannot open minimum: No such file or directory\n"},
      {{"-bg", "small.b16"},
       "tarvex: the background file small.b16 holds images of 32 x 32 px, the images are 64 x 64 px\n"},
      {{"-bg", "text.b16"}, "tarvex: the background file text.b16 is not an image-pair file\n"},
      {{"-bg", ""}, "tarvex: -bg takes min, mean or the name of an image-pair file (got \"\")\n"},
      {{"-bg", "p.dpiv"}, "tarvex: refusing to write p.dpiv: it is the background file p.dpiv this run reads\n"},
      {{"-highpass", "16"}, "tarvex: -highpass needs an odd whole number of pixels from 3 to 999 (got \"16\")\n"},
      {{"-highpass", "1"}, "tarvex: -highpass needs an odd whole number of pixels from 3 to 999 (got \"1\")\n"},
      {{"-highpass", "1001"}, "tarvex: -highpass needs an odd whole number of pixels from 3 to 999 (got \"1001\")\n"},
      {{"-highpass", "9x"}, "tarvex: -highpass needs an odd whole number of pixels from 3 to 999 (got \"9x\")\n"},
  };
  for (const Refusal& refusal : refusals) {
    const RunResult r = Tarvex(dir, refusal.options);
    EXPECT_EQ(r.status, 1) << refusal.options[1];
    EXPECT_EQ(r.err, refusal.message);
    EXPECT_EQ(r.out.find("Calculating"), std::string::npos);
    EXPECT_EQ(Listing(dir), before) << "written after " << refusal.options[0] << " " << refusal.options[1];
  }
  // A value missing at the end, and the table's suggestions.
  const RunResult missing = RunProgram("tarvex", {"-dft", "32", "p.b16", "-highpass"}, dir.path(), "1 2\n");
  EXPECT_EQ(missing.status, 1);
  const RunResult near = Tarvex(dir, {"-highpas", "9", "-Bg", "min"});
  EXPECT_EQ(near.status, 0);
  EXPECT_EQ(near.err,
            "tarvex: ignoring unknown argument '-highpas' (did you mean -highpass?)\n"
            "tarvex: ignoring unknown argument '9'\n"
            "tarvex: ignoring unknown argument '-Bg' (did you mean -bg?)\n"
            "tarvex: ignoring unknown argument 'min'\n");
}

// The worked example of docs/camera-images.md runs as printed: each "$ " line in a shell in a
// fresh directory, the programs on the PATH, and its standard output the lines below it.
TEST(CameraEndToEnd, TheDocumentsWorkedExampleRunsAsPrinted) {
  const std::string doc = ReadFile(std::string(TARVEX_SOURCE_DIR) + "/docs/camera-images.md");
  const size_t marker = doc.find("<!-- The block below runs as printed in tests/tarvexcli/test_camera_e2e.cpp. -->");
  ASSERT_NE(marker, std::string::npos);
  const size_t begin = doc.find("```console\n", marker) + 11, end = doc.find("```\n", begin);
  ASSERT_LT(begin, end);
  struct Step {
    std::string command, expected;
  };
  std::vector<Step> steps;
  size_t at = begin;
  while (at < end) {
    const size_t eol = doc.find('\n', at);
    const std::string line = doc.substr(at, eol - at);
    if (line.rfind("$ ", 0) == 0)
      steps.push_back({line.substr(2), ""});
    else if (!steps.empty())
      steps.back().expected += line + "\n";
    at = eol + 1;
  }
  ASSERT_EQ(steps.size(), 6u);
  TempDir dir;
  for (const Step& step : steps) {
    const RunResult r =
        RunProgram("/bin/sh", {"-c", "PATH=" + std::string(TARVEX_BIN_DIR) + ":$PATH; " + step.command}, dir.path());
    EXPECT_EQ(r.status, 0) << step.command << "\n" << r.err;
    EXPECT_EQ(r.out, step.expected) << step.command;
  }
}

}  // namespace
