// fuzz_seeds DIR: writes the seed corpus of every fuzz target into DIR/<target>/, a few
// small inputs each that reach the readers' main paths (a good file, a byte-reversed
// header, a short file) and the command lines of the manual's examples. The build runs it,
// so the seeds always follow the formats' writers.
#include <tiffio.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DpivFile.h"
#include "ImagePairFile.h"
#include "MaskFile.h"
#include "TruthFile.h"

namespace fs = std::filesystem;

namespace {

bool failed = false;

void Fail(const std::string& what) {
  fprintf(stderr, "fuzz_seeds: %s\n", what.c_str());
  failed = true;
}

std::string Bytes16(const std::vector<unsigned>& values) {
  std::string bytes;
  for (unsigned v : values) {
    bytes.push_back(static_cast<char>(v & 0xff));
    bytes.push_back(static_cast<char>((v >> 8) & 0xff));
  }
  return bytes;
}

std::string Bytes32(const std::vector<int32_t>& values) {
  std::string bytes;
  for (int32_t v : values) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 0xff));
  }
  return bytes;
}

// count values from first on, each 37 more than the one before.
std::vector<unsigned> Ramp(size_t count, unsigned first, unsigned top) {
  std::vector<unsigned> values(count);
  for (size_t k = 0; k < count; ++k) values[k] = (first + 37 * k) % (top + 1);
  return values;
}

void WriteSeed(const fs::path& dir, const std::string& name, const std::string& bytes) {
  const fs::path path = dir / name;
  FILE* f = fopen(path.c_str(), "wb");
  const bool ok = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f == nullptr || fclose(f) != 0 || !ok) Fail("cannot write " + path.string());
}

// A command line as the command-line targets read it: arguments separated by NUL bytes.
std::string CommandLine(const std::vector<std::string>& args) {
  std::string bytes;
  for (size_t k = 0; k < args.size(); ++k) bytes += (k > 0 ? std::string(1, '\0') : std::string()) + args[k];
  return bytes;
}

void CommandLines(const fs::path& dir, const std::vector<std::vector<std::string>>& lines) {
  for (size_t k = 0; k < lines.size(); ++k) WriteSeed(dir, "line-" + std::to_string(k + 1), CommandLine(lines[k]));
}

// Image-pair files, for the reader and the image store.
void ImagePairSeeds(const fs::path& dir) {
  WriteSeed(dir, "two-3x2", Bytes16({3, 2}) + Bytes16(Ramp(12, 1, 4095)));
  WriteSeed(dir, "three-4x4-and-a-tail", Bytes16({4, 4}) + Bytes16(Ramp(48 + 5, 9, 4095)));
  // 00 14 reads 5120 wide, above 5000: the header is taken as byte-reversed, 20 x 2 px.
  WriteSeed(dir, "reversed-20x2", std::string("\x00\x14\x00\x02", 4) + Bytes16(Ramp(80, 3, 65535)));
  WriteSeed(dir, "header-only", Bytes16({16, 16}));
  WriteSeed(dir, "zero-width", Bytes16({0, 7}) + Bytes16(Ramp(7, 0, 4095)));
  WriteSeed(dir, "short-header", std::string("\x03\x00\x02", 3));
}

// dolvek's 8-bit image files: the image-pair layout with one byte per pixel.
void EightBitSeeds(const fs::path& dir) {
  std::string pixels;
  for (unsigned v : Ramp(2 * 12, 5, 255)) pixels.push_back(static_cast<char>(v));
  WriteSeed(dir, "two-4x3", Bytes16({4, 3}) + pixels);
  WriteSeed(dir, "two-4x3-and-a-tail", Bytes16({4, 3}) + pixels + "tail");
  WriteSeed(dir, "reversed-20x1", std::string("\x00\x14\x00\x01", 4) + pixels);
  WriteSeed(dir, "zero-height", Bytes16({4, 0}) + pixels);
}

// quenlar's double-shutter B16 camera files: frames of two exposures one above the other.
std::string B16(int32_t width, int32_t height, bool extended, int32_t header_length, size_t pixels) {
  const int32_t start = extended ? header_length : 24;
  std::string bytes = "PCO-" + Bytes32({start + static_cast<int32_t>(2 * pixels), header_length, width, height,
                                        extended ? -1 : 0});
  if (extended) {
    bytes += Bytes32({0, 12, 3900, 0, 0, 0, 0, 0, 0, 0, 0});  // colour mode, display levels, colour levels
    bytes.resize(static_cast<size_t>(header_length), 'c');     // the comment
  }
  return bytes + Bytes16(Ramp(pixels, 100, 4095));
}

void B16Seeds(const fs::path& dir) {
  WriteSeed(dir, "basic-4x6", B16(4, 6, false, 24, 24));
  WriteSeed(dir, "extended-5x4", B16(5, 4, true, 128, 20));
  WriteSeed(dir, "extended-comment-3x2", B16(3, 2, true, 160, 6));
  WriteSeed(dir, "short-data-8x8", B16(8, 8, false, 24, 40));
  WriteSeed(dir, "one-row", B16(6, 1, false, 24, 6));
}

// pralen's TIFF files, written by libtiff in a few of the layouts it decodes.
struct TiffLayout {
  const char* name;
  uint32_t width, height;
  uint16_t bits, samples, photometric, compression;
  bool tiled;
};

void WriteTiff(const fs::path& dir, const TiffLayout& l) {
  const fs::path path = dir / l.name;
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (tif == nullptr) return Fail("cannot create " + path.string());
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, l.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, l.height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, l.bits);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, l.samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, l.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, l.compression);
  std::vector<uint16_t> palette(size_t{1} << l.bits);
  if (l.photometric == PHOTOMETRIC_PALETTE) {
    for (size_t k = 0; k < palette.size(); ++k) palette[k] = static_cast<uint16_t>(k * 65535 / (palette.size() - 1));
    TIFFSetField(tif, TIFFTAG_COLORMAP, palette.data(), palette.data(), palette.data());
  }
  bool ok = true;
  if (l.tiled) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
    std::string tile(TIFFTileSize(tif), '\0');
    for (size_t k = 0; k < tile.size(); ++k) tile[k] = static_cast<char>(k * 7);
    for (uint32_t t = 0; ok && t < TIFFNumberOfTiles(tif); ++t)
      ok = TIFFWriteEncodedTile(tif, t, tile.data(), static_cast<tmsize_t>(tile.size())) >= 0;
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
    std::string row(TIFFScanlineSize(tif), '\0');
    for (uint32_t y = 0; ok && y < l.height; ++y) {
      for (size_t k = 0; k < row.size(); ++k) row[k] = static_cast<char>(y * 31 + k * 5);
      ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
  }
  TIFFClose(tif);
  if (!ok) Fail("cannot write " + path.string());
}

void TiffSeeds(const fs::path& dir) {
  const TiffLayout layouts[] = {
      {"grey-8bit-5x4.tif", 5, 4, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false},
      {"rgb-8bit-3x3.tif", 3, 3, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE, false},
      {"grey-16bit-4x2.tif", 4, 2, 16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false},
      {"bilevel-9x3.tif", 9, 3, 1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, false},
      {"palette-4bit-6x5.tif", 6, 5, 4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE, false},
      {"grey-lzw-7x6.tif", 7, 6, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, false},
      {"rgb-tiled-20x17.tif", 20, 17, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, true},
  };
  for (const TiffLayout& layout : layouts) WriteTiff(dir, layout);
}

// Mask files of the three kinds: PNG through the mask writer, TIFF and image-pair files as
// for their own readers.
void MaskSeeds(const fs::path& dir) {
  MaskImage mask(5, 4);
  for (int x = 1; x < 4; ++x) mask.Set(x, 2, false);
  std::string error;
  if (!WriteMaskPng((dir / "wall-5x4.png").string(), mask, error)) Fail(error);
  TiffSeeds(dir);
  ImagePairSeeds(dir);
}

// DPIV files, through the analysis's own writer.
void WriteDpiv(const fs::path& dir, const std::string& name, const std::vector<VectorRecord>& records) {
  std::string error;
  if (WriteDpivFile((dir / name).c_str(), records, error) != WriteStatus::Ok) Fail(error);
}

void DpivSeeds(const fs::path& dir) {
  std::vector<VectorRecord> grid;
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 3; ++col)
      grid.push_back({col != 1, 15.0 + 16 * col, 15.0 + 16 * row, 0.25 * col - 1.5, 2.0 - row, 0.8125});
  WriteDpiv(dir, "grid-3x2.dpiv", grid);
  WriteDpiv(dir, "one-point.dpiv", {{true, 31, 31, 2.3, -1.2, 0.5}});
  WriteDpiv(dir, "one-column.dpiv", {{true, 7, 7, 0, 0, 0.25}, {false, 7, 15, 1e-7, -3e5, 0}});
  std::vector<VectorRecord> shuffled(grid.rbegin(), grid.rend());
  WriteDpiv(dir, "not-in-row-order.dpiv", shuffled);
}

// Truth files of the five fields, the last with every setting of the scene, through
// pivsynth's writer.
void TruthSeeds(const fs::path& dir) {
  TruthRecord uniform;
  uniform.field.dx = 2.3;
  uniform.field.dy = -1.2;
  WriteSeed(dir, "uniform.truth", TruthText(uniform));

  TruthRecord rotation;
  rotation.field.kind = FieldKind::Rotation;
  rotation.field.omega = 0.02;
  rotation.field.cx = 127.5;
  rotation.field.cy = 100;
  rotation.pairs = 3;
  rotation.noise = 10;
  WriteSeed(dir, "rotation.truth", TruthText(rotation));

  TruthRecord vortex;
  vortex.field.kind = FieldKind::Vortex;
  vortex.field.profile = VortexProfile::Rankine;
  vortex.field.gamma = 150.5;
  vortex.field.core = 8;
  vortex.field.cx = 100;
  vortex.field.cy = 60.25;
  vortex.width = 200;
  vortex.height = 120;
  vortex.diameter = 3.2;
  vortex.density = 0.015;
  vortex.seed = 99;
  WriteSeed(dir, "vortex.truth", TruthText(vortex));

  TruthRecord shear;
  shear.field.kind = FieldKind::Shear;
  shear.field.shear = 0.02;
  shear.field.cx = 255.5;
  shear.field.cy = 127.5;
  shear.width = 512;
  shear.seed = 18446744073709551615u;
  WriteSeed(dir, "shear.truth", TruthText(shear) + "\n  \n");

  TruthRecord scene;
  scene.field.kind = FieldKind::Sine;
  scene.field.amplitude = 0.5;
  scene.field.wavelength = 24;
  scene.field.direction = WaveDirection::Y;
  scene.field.dx = 0.3;
  scene.scheme = SynthScheme::Symmetric;
  scene.loss = 0.1;
  scene.light.glow = 200;
  scene.light.bands.push_back({10, 20, 300});
  scene.light.rowPatterns.push_back({8, 0, 0, 63, 31});
  scene.light.dims.push_back({0, 0, 15.5, 15.5, 0.25});
  WriteSeed(dir, "scene.truth", TruthText(scene));
}

void CommandLineSeeds(const fs::path& root) {
  CommandLines(root / "tarvex_options",
               {{"-dft", "32", "-gspac", "16", "16", "-subpix", "gauss3", "-meansub", "-MVOcheck", "1", "run.b16"},
                {"-dft", "32", "-gspac", "16", "16", "-MVOcheck", "1.0", "-s", "-tec", "run", "run.b16"},
                {"-i", "-dft", "32", "-gspac", "16", "16", "-all", "1", "1", "2", "run.b16"},
                {"-dft", "64", "-MinRho", "0.3", "-MaxVelRat", "0.25", "-GHcheck", "3", "-MVOcheck", "1.5",
                 "-DMVOcheck", "1", "1", "run.b16"},
                {"-o", "-dft32x16", "-tecplane", "run.b16"},
                {"-j", "0", "-dft", "32", "-subpix", "fit", "run.b16"}});
  CommandLines(root / "pivsynth_options",
               {{"--dx", "2.3", "--dy", "-1.2"},
                {"--field", "rotation", "--omega", "0.01", "--out", "rot.b16"},
                {"--field", "vortex", "--profile", "rankine", "--gamma", "600", "--core", "20", "--noise", "10"},
                {"--field", "shear", "--shear", "0.02", "--size", "512x256", "--pairs", "10", "--seed", "7"},
                {"--field=vortex", "--center=100,60.25", "--diameter=3.2", "--density=0.015"},
                {"--field", "sine", "--amplitude", "0.5", "--wavelength", "24", "--direction", "y", "--dx", "0.3",
                 "--scheme", "symmetric", "--loss", "0.1", "--glow", "200", "--band", "10,20,300", "--row-pattern",
                 "8,0,0,63,31", "--dim", "0,0,15.5,15.5,0.25"},
                {"--help"}});
  CommandLines(root / "pivplot_options",
               {{"--image", "vortex.b16", "1", "vortex.dpiv"},
                {"--svg", "--magnitude", "vortex.dpiv"},
                {"--scale", "15.5", "--out", "field.png", "run.0001.dpiv"},
                {"run.dpiv", "picture.png"},
                {"--help"}});
  CommandLines(root / "pivcompare_command_line",
               {{"run.dpiv", "run.b16.truth"},
                {"--reference", "first", "--outlier", "0.25", "run.dpiv", "run.b16.truth"},
                {"--reference=midpoint", "run.dpiv", "--outlier=1", "run.b16.truth"},
                {"--help"},
                {"run.dpiv"}});
  CommandLines(root / "pralen_command_line", {{"run_a.tif", "run_b.tif", "run.dat"}, {"run.dat"}});
  CommandLines(root / "dolvek_command_line", {{"camera8.dat", "camera16.dat"}, {"in.dat"}});
  CommandLines(root / "quenlar_command_line", {{"cam", "cam.dat", "12"}, {"cam_0012.b16", "cam.dat"}, {}});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "Use: fuzz_seeds DIR\n");
    return 1;
  }
  const fs::path root = argv[1];
  const char* targets[] = {"image_pair_file", "pivimage", "eight_bit_file", "b16_file", "tiff_file",
                           "dpiv_file", "truth_file", "mask_file", "fulldepth_file", "tarvex_options", "pivsynth_options",
                           "pivplot_options", "pivcompare_command_line", "pralen_command_line",
                           "dolvek_command_line", "quenlar_command_line"};
  std::error_code error;
  for (const char* target : targets) {
    fs::create_directories(root / target, error);
    if (error) Fail("cannot create " + (root / target).string() + ": " + error.message());
  }
  if (failed) return 1;
  ImagePairSeeds(root / "image_pair_file");
  ImagePairSeeds(root / "pivimage");
  EightBitSeeds(root / "eight_bit_file");
  B16Seeds(root / "b16_file");
  TiffSeeds(root / "tiff_file");
  DpivSeeds(root / "dpiv_file");
  TruthSeeds(root / "truth_file");
  MaskSeeds(root / "mask_file");
  MaskSeeds(root / "fulldepth_file");  // PNG and TIFF files
  CommandLineSeeds(root);
  return failed ? 1 : 0;
}
