// The pre-processing pieces on their own: the background and its subtraction, the background
// over a series and from a file, the line opening, the box high-pass, the intensity capping,
// the particle-content test of windows and the pair's pre-processing with its console line.
// Each against its header's worked example and, on random images with masks, against a
// brute-force reference written from the definition.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "images/PIVImage.h"
#include "preprocess/BackgroundFile.h"
#include "preprocess/BackgroundImage.h"
#include "preprocess/BoxHighPass.h"
#include "preprocess/IntensityCapping.h"
#include "preprocess/LineOpening.h"
#include "preprocess/PairPreprocessing.h"
#include "preprocess/ParticleContent.h"
#include "preprocess/SeriesBackground.h"

namespace tarvex {

namespace {

using Pixels = std::vector<uint16_t>;

BackgroundImage Background(int width, int height, uint32_t divisor, std::vector<uint32_t> sums) {
  BackgroundImage b;
  b.width = width;
  b.height = height;
  b.divisor = divisor;
  b.sums = std::move(sums);
  return b;
}

// Random counts below `top`, and a random mask with about `masked` of its pixels masked.
Pixels RandomImage(std::mt19937& random, size_t pixels, int top) {
  std::uniform_int_distribution<int> value(0, top - 1);
  Pixels image(pixels);
  for (uint16_t& v : image) v = static_cast<uint16_t>(value(random));
  return image;
}
std::vector<unsigned char> RandomMask(std::mt19937& random, size_t pixels, double masked) {
  std::bernoulli_distribution off(masked);
  std::vector<unsigned char> flow(pixels);
  for (unsigned char& f : flow) f = off(random) ? 0 : 1;
  return flow;
}

TEST(BackgroundImage, WorkedExample) {
  // The mean of 10, 11 and 13: 34 over 3.
  const BackgroundImage mean = Background(5, 1, 3, {34, 34, 34, 34, 34});
  const Pixels in = {15, 12, 11, 10, 0};
  Pixels out(5);
  SubtractBackground(mean, in.data(), out.data());
  EXPECT_EQ(out, (Pixels{4, 1, 0, 0, 0}));
  const BackgroundImage minimum = Background(5, 1, 1, {10, 10, 10, 10, 10});
  SubtractBackground(minimum, in.data(), out.data());
  EXPECT_EQ(out, (Pixels{5, 2, 1, 0, 0}));
  // In place, and the extremes of the scale.
  Pixels top = {65535, 65535, 0, 7, 8};
  SubtractBackground(Background(5, 1, 2, {0, 1, 65535, 15, 15}), top.data(), top.data());
  EXPECT_EQ(top, (Pixels{65535, 65535, 0, 0, 1}));  // 65534.5 rounds up; 7 - 7.5 = -0.5 rounds to 0; 0.5 to 1
}

TEST(SeriesBackground, WorkedExample) {
  const Pixels a = {4, 7, 3, 9}, b = {6, 2, 5, 1};
  SeriesBackground series;
  ASSERT_TRUE(series.Start(BackgroundStatistic::Mean, 2, 2));
  series.Add(a.data());
  series.Add(b.data());
  const BackgroundImage mean = series.Finish(nullptr);
  EXPECT_EQ(mean.sums, (std::vector<uint32_t>{10, 9, 8, 10}));
  EXPECT_EQ(mean.divisor, 2u);
  EXPECT_EQ(mean.source, BackgroundSource::Mean);
  EXPECT_EQ(mean.images, 2);
  EXPECT_EQ(mean.openedLength, 0);

  // Two images are few: the minimum 4 2 / 3 1 is opened, and nothing fits in 2 x 2 pixels.
  ASSERT_TRUE(series.Start(BackgroundStatistic::Minimum, 2, 2));
  series.Add(a.data());
  series.Add(b.data());
  const BackgroundImage opened = series.Finish(nullptr);
  EXPECT_EQ(opened.sums, (std::vector<uint32_t>{0, 0, 0, 0}));
  EXPECT_EQ(opened.openedLength, kOpeningLength);
  EXPECT_EQ(opened.images, 2);

  // Eight images keep their minimum as it is.
  ASSERT_TRUE(series.Start(BackgroundStatistic::Minimum, 2, 2));
  for (int k = 0; k < 4; ++k) {
    series.Add(a.data());
    series.Add(b.data());
  }
  const BackgroundImage kept = series.Finish(nullptr);
  EXPECT_EQ(kept.sums, (std::vector<uint32_t>{4, 2, 3, 1}));
  EXPECT_EQ(kept.openedLength, 0);
  EXPECT_EQ(kept.images, 8);
  EXPECT_EQ(kept.divisor, 1u);
}

TEST(SeriesBackground, SevenImagesAreOpenedEightAreNot) {
  // A 9 x 9 image of 100 with one bright pixel: the opening takes the pixel, the minimum of
  // eight images keeps it (static detail), seven images are still few.
  Pixels image(81, 100);
  image[40] = 900;
  SeriesBackground series;
  for (int images : {7, 8}) {
    ASSERT_TRUE(series.Start(BackgroundStatistic::Minimum, 9, 9));
    for (int k = 0; k < images; ++k) series.Add(image.data());
    const BackgroundImage b = series.Finish(nullptr);
    EXPECT_EQ(b.sums[40], images < kFewImages ? 100u : 900u) << images;
    EXPECT_EQ(b.sums[0], 100u);
  }
}

TEST(SeriesBackground, TakesAtMost65535ImagesAndStartsOverAfterFinishing) {
  const Pixels one = {65535};
  SeriesBackground series;
  ASSERT_TRUE(series.Start(BackgroundStatistic::Mean, 1, 1));
  for (int k = 0; k < kMaxBackgroundImages + 5; ++k) series.Add(one.data());
  EXPECT_EQ(series.Images(), kMaxBackgroundImages);
  const BackgroundImage b = series.Finish(nullptr);
  EXPECT_EQ(b.sums[0], 65535u * 65535u);  // exact in 32 bits
  EXPECT_EQ(b.divisor, 65535u);
  EXPECT_EQ(series.Images(), 0);
  // No image: a background of 0.
  ASSERT_TRUE(series.Start(BackgroundStatistic::Minimum, 1, 1));
  EXPECT_EQ(series.Finish(nullptr).sums, (std::vector<uint32_t>{0}));
}

TEST(SeriesBackground, FromAnImagePairFileWithItsProgress) {
  TempDir dir;
  const std::string name = dir.file("s.b16");
  WriteImagePairFile(name, 2, 1, {{5, 9}, {7, 3}, {6, 4}});
  BackgroundImage b;
  std::vector<int> done;
  const Status made = EstimateSeriesBackground(name.c_str(), BackgroundStatistic::Mean, nullptr,
                                               [&done](int d, int total) {
                                                 EXPECT_EQ(total, 3);
                                                 done.push_back(d);
                                               },
                                               b);
  ASSERT_TRUE(made) << made.message();
  EXPECT_EQ(done, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(b.sums, (std::vector<uint32_t>{18, 16}));
  EXPECT_EQ(b.divisor, 3u);
  EXPECT_EQ(b.width, 2);
  EXPECT_EQ(b.height, 1);

  EXPECT_EQ(std::string(EstimateSeriesBackground(dir.file("none.b16").c_str(), BackgroundStatistic::Minimum,
                                                 nullptr, [](int, int) {}, b)
                            .message()),
            "cannot read images from " + dir.file("none.b16"));
  WriteFile(dir.file("empty.b16"), std::string("\x02\x00\x01\x00", 4));
  EXPECT_EQ(std::string(EstimateSeriesBackground(dir.file("empty.b16").c_str(), BackgroundStatistic::Minimum,
                                                 nullptr, [](int, int) {}, b)
                            .message()),
            "cannot read images from " + dir.file("empty.b16"));
}

TEST(BackgroundFile, ReadsTheFirstImageOfItsSizeOnly) {
  TempDir dir;
  std::vector<std::vector<uint16_t>> images(3, std::vector<uint16_t>(256 * 256));
  for (size_t i = 0; i < images[0].size(); ++i) images[0][i] = static_cast<uint16_t>(i % 4096);
  images[1].assign(images[1].size(), 4000);
  WriteImagePairFile(dir.file("bg.b16"), 256, 256, images);
  BackgroundImage b;
  const Status read = ReadBackgroundFile(dir.file("bg.b16").c_str(), 256, 256, b);
  ASSERT_TRUE(read) << read.message();
  EXPECT_EQ(b.divisor, 1u);
  EXPECT_EQ(b.source, BackgroundSource::File);
  EXPECT_EQ(b.fileName, dir.file("bg.b16"));
  ASSERT_EQ(b.sums.size(), images[0].size());
  EXPECT_TRUE(std::equal(b.sums.begin(), b.sums.end(), images[0].begin()));

  WriteImagePairFile(dir.file("small.b16"), 128, 128, {std::vector<uint16_t>(128 * 128)});
  EXPECT_EQ(std::string(ReadBackgroundFile(dir.file("small.b16").c_str(), 256, 256, b).message()),
            "the background file " + dir.file("small.b16") +
                " holds images of 128 x 128 px, the images are 256 x 256 px");
  WriteFile(dir.file("header.b16"), std::string("\x02\x00\x01\x00", 4));
  EXPECT_EQ(std::string(ReadBackgroundFile(dir.file("header.b16").c_str(), 2, 1, b).message()),
            "the background file " + dir.file("header.b16") + " holds no image");
  WriteFile(dir.file("short.b16"), "ab");
  EXPECT_EQ(std::string(ReadBackgroundFile(dir.file("short.b16").c_str(), 2, 1, b).message()),
            "the background file " + dir.file("short.b16") + " is not an image-pair file");
  EXPECT_EQ(std::string(ReadBackgroundFile(dir.file("none.b16").c_str(), 2, 1, b).message()),
            "cannot open the background file " + dir.file("none.b16"));
}

// The opening from its definition: each pixel takes the greatest, over the segments of
// `length` pixels along a row or a column that hold it and lie in the image and the flow, of
// the segment's least value (0 when none).
std::vector<uint32_t> NaiveOpening(const std::vector<uint32_t>& image, const std::vector<unsigned char>& flow,
                                   int width, int height, int length) {
  const int reach = length / 2;
  std::vector<uint32_t> out(image.size(), 0);
  const auto at = [width](int x, int y) { return static_cast<size_t>(y) * width + x; };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t best = 0;
      for (int dir = 0; dir < 2; ++dir) {
        for (int c = -reach; c <= reach; ++c) {
          // The segment centred on (x + c, y) or (x, y + c).
          const int cx = dir == 0 ? x + c : x, cy = dir == 0 ? y : y + c;
          bool fits = true;
          uint32_t least = UINT32_MAX;
          for (int j = -reach; j <= reach && fits; ++j) {
            const int px = dir == 0 ? cx + j : cx, py = dir == 0 ? cy : cy + j;
            fits = px >= 0 && py >= 0 && px < width && py < height && flow[at(px, py)] != 0;
            if (fits) least = std::min(least, image[at(px, py)]);
          }
          if (fits) best = std::max(best, least);
        }
      }
      out[at(x, y)] = best;
    }
  }
  return out;
}

TEST(LineOpening, WorkedExample) {
  LineOpening opening;
  // The row opening of one row: a column opening needs 3 rows, so the row stands alone in
  // a 7 x 1 image.
  const std::vector<uint32_t> row = {5, 9, 9, 2, 7, 7, 7};
  std::vector<uint32_t> out(7);
  opening.Open(row.data(), nullptr, 7, 1, 3, out.data());
  EXPECT_EQ(out, (std::vector<uint32_t>{5, 5, 5, 2, 7, 7, 7}));
  const std::vector<unsigned char> third = {1, 1, 0, 1, 1, 1, 1};
  opening.Open(row.data(), third.data(), 7, 1, 3, out.data());
  EXPECT_EQ(out, (std::vector<uint32_t>{0, 0, 0, 2, 7, 7, 7}));

  // 5 x 5 zeros: a single pixel of 9 goes, a row or a column of three stays.
  std::vector<uint32_t> image(25, 0), opened(25);
  image[12] = 9;
  opening.Open(image.data(), nullptr, 5, 5, 3, opened.data());
  EXPECT_EQ(opened, std::vector<uint32_t>(25, 0));
  image[11] = image[13] = 9;
  opening.Open(image.data(), nullptr, 5, 5, 3, opened.data());
  EXPECT_EQ(opened, image);
  std::vector<uint32_t> column(25, 0);
  column[7] = column[12] = column[17] = 9;
  opening.Open(column.data(), nullptr, 5, 5, 3, opened.data());
  EXPECT_EQ(opened, column);
}

TEST(LineOpening, MatchesItsDefinitionOnRandomImagesWithMasks) {
  std::mt19937 random(7);
  LineOpening opening;  // one object for all: its scratch is reused at every size
  for (int length : {1, 3, 5, 7}) {
    for (const auto& size : {std::pair<int, int>{23, 17}, {8, 31}, {40, 3}}) {
      const int w = size.first, h = size.second;
      const size_t pixels = static_cast<size_t>(w) * h;
      const Pixels counts = RandomImage(random, pixels, 60);
      const std::vector<uint32_t> image(counts.begin(), counts.end());
      for (double masked : {0.0, 0.05}) {
        const std::vector<unsigned char> flow = RandomMask(random, pixels, masked);
        std::vector<uint32_t> out(pixels);
        opening.Open(image.data(), masked > 0 ? flow.data() : nullptr, w, h, length, out.data());
        EXPECT_EQ(out, NaiveOpening(image, flow, w, h, length)) << w << " x " << h << ", L = " << length;
        for (size_t i = 0; i < pixels; ++i) ASSERT_LE(out[i], image[i]) << "an opening never adds";
      }
    }
  }
}

TEST(BoxHighPass, WorkedExample) {
  const Pixels image = {0, 0, 0, 0,  //
                        0, 9, 0, 0,  //
                        0, 0, 0, 30};
  BoxHighPass highPass;
  Pixels out(12);
  highPass.Apply(image.data(), nullptr, 4, 3, 3, out.data());
  EXPECT_EQ(out[1 * 4 + 1], 8);
  EXPECT_EQ(out[2 * 4 + 3], 23);
  EXPECT_EQ(out[1 * 4 + 2], 0);
  std::vector<unsigned char> flow(12, 1);
  flow[2 * 4 + 2] = 0;
  highPass.Apply(image.data(), flow.data(), 4, 3, 3, out.data());
  EXPECT_EQ(out[2 * 4 + 3], 20);
  EXPECT_EQ(out[2 * 4 + 2], 0);  // masked

  EXPECT_FALSE(UsableHighPassSize(1));
  EXPECT_FALSE(UsableHighPassSize(2));
  EXPECT_TRUE(UsableHighPassSize(3));
  EXPECT_FALSE(UsableHighPassSize(16));
  EXPECT_TRUE(UsableHighPassSize(999));
  EXPECT_FALSE(UsableHighPassSize(1001));
}

TEST(BoxHighPass, MatchesItsDefinitionOnRandomImagesWithMasks) {
  std::mt19937 random(11);
  BoxHighPass highPass;
  for (int size : {3, 5, 9, 41}) {
    const int w = 29, h = 21;
    const size_t pixels = static_cast<size_t>(w) * h;
    const Pixels image = RandomImage(random, pixels, 4096);
    const std::vector<unsigned char> flow = RandomMask(random, pixels, 0.1);
    Pixels out(pixels);
    highPass.Apply(image.data(), flow.data(), w, h, size, out.data());
    const int r = size / 2;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const size_t k = static_cast<size_t>(y) * w + x;
        if (flow[k] == 0) {
          ASSERT_EQ(out[k], 0);
          continue;
        }
        long long sum = 0, count = 0;
        for (int v = std::max(0, y - r); v <= std::min(h - 1, y + r); ++v)
          for (int u = std::max(0, x - r); u <= std::min(w - 1, x + r); ++u)
            if (flow[static_cast<size_t>(v) * w + u] != 0) {
              sum += image[static_cast<size_t>(v) * w + u];
              count++;
            }
        // Rounded half up, clamped at 0: the nearest whole number, exactly, in long double.
        const long double value = image[k] - static_cast<long double>(sum) / count;
        const long long expected = std::max(0LL, static_cast<long long>(std::floor(value + 0.5L)));
        ASSERT_EQ(out[k], expected) << "size " << size << " at " << x << ", " << y;
      }
    }
  }
}

TEST(IntensityCapping, WorkedExample) {
  Pixels image = {0, 0, 0, 0, 0, 0, 12, 36};
  IntensityCapping capping;
  EXPECT_EQ(capping.Apply(image.data(), nullptr, image.size()), 24);
  EXPECT_EQ(image, (Pixels{0, 0, 0, 0, 0, 0, 12, 24}));
  // Without flow pixels nothing changes.
  const std::vector<unsigned char> none(8, 0);
  Pixels kept = {1, 2, 3, 65535, 5, 6, 7, 8};
  EXPECT_EQ(capping.Apply(kept.data(), none.data(), kept.size()), 65535);
  EXPECT_EQ(kept, (Pixels{1, 2, 3, 65535, 5, 6, 7, 8}));
}

TEST(IntensityCapping, MatchesASortedMedianAndTheDeviationOnRandomImagesWithMasks) {
  std::mt19937 random(3);
  IntensityCapping capping;
  for (int round = 0; round < 6; ++round) {
    const size_t pixels = 1000 + 37 * round;
    Pixels image = RandomImage(random, pixels, round % 2 == 0 ? 4096 : 65536);
    const std::vector<unsigned char> flow = RandomMask(random, pixels, 0.2);
    std::vector<double> values;
    for (size_t i = 0; i < pixels; ++i)
      if (flow[i] != 0) values.push_back(image[i]);
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[(sorted.size() + 1) / 2 - 1];
    double mean = 0, squares = 0;
    for (double v : values) mean += v;
    mean /= values.size();
    for (double v : values) squares += (v - mean) * (v - mean);
    const double cap = std::floor(median + 2.0 * std::sqrt(squares / values.size()));
    const Pixels before = image;
    const uint16_t top = capping.Apply(image.data(), flow.data(), pixels);
    EXPECT_EQ(top, static_cast<uint16_t>(std::min(cap, 65535.0)));
    for (size_t i = 0; i < pixels; ++i) ASSERT_EQ(image[i], std::min(before[i], top));
  }
}

// r of the header from its definition, with the deviations formed first.
double NaiveNeighbourCorrelation(const Pixels& a, const Pixels& b, int width, const WindowPlace& p) {
  double products = 0, squares = 0;
  long long pairs = 0, pixels = 0;
  for (const Pixels* image : {&a, &b}) {
    double mean = 0;
    for (int y = p.top; y < p.top + p.ny; ++y)
      for (int x = p.left; x < p.left + p.nx; ++x) mean += (*image)[static_cast<size_t>(y) * width + x];
    mean /= p.nx * p.ny;
    const auto d = [&](int x, int y) { return (*image)[static_cast<size_t>(y) * width + x] - mean; };
    for (int y = p.top; y < p.top + p.ny; ++y) {
      for (int x = p.left; x < p.left + p.nx; ++x) {
        squares += d(x, y) * d(x, y);
        pixels++;
        if (x + 1 < p.left + p.nx) {
          products += d(x, y) * d(x + 1, y);
          pairs++;
        }
        if (y + 1 < p.top + p.ny) {
          products += d(x, y) * d(x, y + 1);
          pairs++;
        }
      }
    }
  }
  return (products / pairs) / (squares / pixels);
}

TEST(ParticleContent, WorkedExample) {
  // 8 x 8 windows at (2, 1) of a 12 x 10 image, a 2 x 2 particle of 4 counts in their corner.
  Pixels image(120, 0);
  for (int y = 1; y <= 2; ++y)
    for (int x = 2; x <= 3; ++x) image[static_cast<size_t>(y) * 12 + x] = 4;
  const WindowPlace place{2, 1, 8, 8};
  const NeighbourCorrelation n = CorrelateNeighbours(image.data(), image.data(), 12, place, nullptr);
  EXPECT_EQ(n.pairs, 112);
  EXPECT_TRUE(n.varies);
  EXPECT_NEAR(n.r, 118.0 * 64 / (120.0 * 112), 1e-12);
  EXPECT_NEAR(n.r, 0.562, 0.0005);
  EXPECT_NEAR(kNoiseDeviations / std::sqrt(224.0), 0.267, 0.0005);
  EXPECT_TRUE(HoldsParticleImages(image.data(), image.data(), 12, place, nullptr));

  Pixels checkerboard(120);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) checkerboard[static_cast<size_t>(y) * 12 + x] = static_cast<uint16_t>((x + y) % 2);
  const NeighbourCorrelation c = CorrelateNeighbours(checkerboard.data(), checkerboard.data(), 12, place, nullptr);
  EXPECT_NEAR(c.r, -1.0, 1e-12);
  EXPECT_FALSE(HoldsParticleImages(checkerboard.data(), checkerboard.data(), 12, place, nullptr));

  const Pixels uniform(120, 500);
  EXPECT_FALSE(CorrelateNeighbours(uniform.data(), uniform.data(), 12, place, nullptr).varies);
  EXPECT_FALSE(HoldsParticleImages(uniform.data(), uniform.data(), 12, place, nullptr));
}

TEST(ParticleContent, MatchesItsDefinitionAndTellsParticlesFromNoise) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(100.0, 8.0);
  const int w = 96, h = 64;
  const size_t pixels = static_cast<size_t>(w) * h;
  // Noise alone, in both images.
  Pixels a(pixels), b(pixels);
  for (size_t i = 0; i < pixels; ++i) {
    a[i] = static_cast<uint16_t>(std::lround(noise(random)));
    b[i] = static_cast<uint16_t>(std::lround(noise(random)));
  }
  // Particle images of 2.5 px (e^-2 diameter), 1000 counts, 0.02 per pixel, added to the noise
  // of the right half of both images, moved 2 px along x in the second.
  std::uniform_real_distribution<double> where(0.0, 1.0);
  Pixels pa = a, pb = b;
  const auto add = [w](Pixels& image, int x, int y, double light) {
    const size_t k = static_cast<size_t>(y) * w + x;
    image[k] = static_cast<uint16_t>(std::min(65535.0, image[k] + light));
  };
  for (int k = 0; k < static_cast<int>(0.02 * pixels / 2); ++k) {
    const double cx = w / 2 + where(random) * (w / 2), cy = where(random) * h;
    for (int y = 0; y < h; ++y)
      for (int x = w / 2; x < w; ++x) {
        const auto light = [&](double shift) {
          const double dx = x - cx - shift, dy = y - cy;
          return 1000.0 * std::exp(-8.0 * (dx * dx + dy * dy) / 6.25);
        };
        add(pa, x, y, light(0.0));
        add(pb, x, y, light(2.0));
      }
  }
  int noiseHolding = 0, particleHolding = 0, windows = 0;
  for (int top = 0; top + 32 <= h; top += 16) {
    for (int left = 0; left + 32 <= w / 2; left += 16) {
      const WindowPlace noisy{left, top, 32, 32}, seeded{left + w / 2, top, 32, 32};
      EXPECT_NEAR(CorrelateNeighbours(a.data(), b.data(), w, noisy, nullptr).r,
                  NaiveNeighbourCorrelation(a, b, w, noisy), 1e-9);
      EXPECT_NEAR(CorrelateNeighbours(pa.data(), pb.data(), w, seeded, nullptr).r,
                  NaiveNeighbourCorrelation(pa, pb, w, seeded), 1e-9);
      noiseHolding += HoldsParticleImages(a.data(), b.data(), w, noisy, nullptr);
      particleHolding += HoldsParticleImages(pa.data(), pb.data(), w, seeded, nullptr);
      windows++;
    }
  }
  EXPECT_EQ(windows, 6);
  EXPECT_EQ(noiseHolding, 0);
  EXPECT_EQ(particleHolding, windows);
}

TEST(ParticleContent, MaskedPixelsCountForNothing) {
  // The worked example's windows with a bright wall over their right half, masked: the flow
  // half still holds the particle, and the wall changes nothing.
  Pixels image(120, 0), walled(120, 0);
  std::vector<unsigned char> flow(120, 1);
  for (int y = 1; y <= 2; ++y)
    for (int x = 2; x <= 3; ++x) image[static_cast<size_t>(y) * 12 + x] = walled[static_cast<size_t>(y) * 12 + x] = 4;
  for (int y = 0; y < 10; ++y)
    for (int x = 6; x < 12; ++x) {
      walled[static_cast<size_t>(y) * 12 + x] = static_cast<uint16_t>(3000 + 17 * ((x * 7 + y * 3) % 5));
      flow[static_cast<size_t>(y) * 12 + x] = 0;
    }
  const WindowPlace place{2, 1, 8, 8};
  const NeighbourCorrelation clean = CorrelateNeighbours(image.data(), image.data(), 12, place, flow.data());
  const NeighbourCorrelation wall = CorrelateNeighbours(walled.data(), walled.data(), 12, place, flow.data());
  EXPECT_EQ(clean.r, wall.r);
  EXPECT_EQ(clean.pairs, 8 * 3 + 7 * 4);  // the 4 x 8 flow pixels' neighbours
}

TEST(PairPreprocessing, WorkedExample) {
  AnalysisSettings s;
  s.subtractBackground = true;
  s.highPassSize = 3;
  s.capIntensity = true;
  PairPreprocessing pre(s);
  BackgroundImage b = Background(2, 2, 1, {10, 10, 10, 10});
  b.source = BackgroundSource::File;
  b.images = 1;
  b.fileName = "bg.b16";
  EXPECT_FALSE(pre.SetBackground(b, 3, 2));
  EXPECT_FALSE(pre.HasBackground());
  ASSERT_TRUE(pre.SetBackground(b, 2, 2));
  PIVImage source(2, 2), processed(2, 2);
  const Pixels first = {10, 30, 10, 10}, second = {40, 10, 10, 10};
  source.LoadPair(first.data(), second.data());
  pre.Apply(source, processed, nullptr);
  EXPECT_EQ(Pixels(processed.I1, processed.I1 + 4), (Pixels{0, 12, 0, 0}));
  // 30 0 0 0 less their mean 7.5: 22.5 rounds to 23 (and 0 0 0 23 caps at 0 + 2 x 9.96 = 19).
  EXPECT_EQ(Pixels(processed.I2, processed.I2 + 4), (Pixels{19, 0, 0, 0}));
  EXPECT_EQ(Pixels(source.I1, source.I1 + 4), first) << "the images read stay as they are";
  EXPECT_EQ(pre.Summary(), "Pre-processing: background from bg.b16, high-pass 3 px, capping at median + 2 sigma\n");
}

TEST(PairPreprocessing, TheConsoleLineNamesWhatIsApplied) {
  AnalysisSettings s;
  EXPECT_EQ(PairPreprocessing(s).Summary(), "");
  s.highPassSize = 15;
  EXPECT_EQ(PairPreprocessing(s).Summary(), "Pre-processing: high-pass 15 px\n");
  s.highPassSize = 0;
  s.capIntensity = true;
  EXPECT_EQ(PairPreprocessing(s).Summary(), "Pre-processing: capping at median + 2 sigma\n");
  s.capIntensity = false;
  s.subtractBackground = true;
  const auto line = [&s](BackgroundSource source, int images, int opened) {
    PairPreprocessing pre(s);
    BackgroundImage b = Background(1, 1, 1, {0});
    b.source = source;
    b.images = images;
    b.openedLength = opened;
    EXPECT_TRUE(pre.SetBackground(b, 1, 1));
    return pre.Summary();
  };
  EXPECT_EQ(line(BackgroundSource::Minimum, 2, 7), "Pre-processing: background minimum of 2 images (opened 7 px)\n");
  EXPECT_EQ(line(BackgroundSource::Minimum, 8, 0), "Pre-processing: background minimum of 8 images\n");
  EXPECT_EQ(line(BackgroundSource::Mean, 40, 0), "Pre-processing: background mean of 40 images\n");
  EXPECT_EQ(line(BackgroundSource::Minimum, 1, 7), "Pre-processing: background minimum of 1 image (opened 7 px)\n");
}

}  // namespace

}  // namespace tarvex
