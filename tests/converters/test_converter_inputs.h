// Builders for the converters' input files and a decoder for their output, shared by the
// converter tests. Every value is written little-endian, as the converters expect.
#ifndef TEST_CONVERTER_INPUTS_H
#define TEST_CONVERTER_INPUTS_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestSupport.h"

inline void Put16(std::string& bytes, unsigned v) {
  bytes.push_back(static_cast<char>(v & 0xff));
  bytes.push_back(static_cast<char>((v >> 8) & 0xff));
}

inline void Put32(std::string& bytes, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((u >> shift) & 0xff));
}

// An 8-bit image file: the two 16-bit header fields as given, the pixels, then filler.
inline std::string EightBitFile(unsigned width_field, unsigned height_field, const std::vector<uint8_t>& pixels,
                                size_t trailing = 0) {
  std::string bytes;
  Put16(bytes, width_field);
  Put16(bytes, height_field);
  bytes.append(pixels.begin(), pixels.end());
  bytes.append(trailing, '\x7f');
  return bytes;
}

// A double-shutter B16 camera file. With extended, the header is header_length bytes
// long (its comment filled with 'c') and carries the display levels.
struct B16Contents {
  int32_t width = 0;
  int32_t height = 0;  // of the whole frame, both exposures
  bool extended = false;
  int32_t header_length = 128;
  int32_t bw_min = 0;
  int32_t bw_max = 0;
  std::vector<uint16_t> pixels;
};

inline std::string B16File(const B16Contents& c) {
  std::string bytes = "B16-";
  const size_t pixel_bytes = 2 * c.pixels.size();
  Put32(bytes, static_cast<int32_t>((c.extended ? c.header_length : 24) + pixel_bytes));
  Put32(bytes, c.header_length);
  Put32(bytes, c.width);
  Put32(bytes, c.height);
  Put32(bytes, c.extended ? -1 : 0);
  if (c.extended) {
    Put32(bytes, 0);  // color_mode
    Put32(bytes, c.bw_min);
    Put32(bytes, c.bw_max);
    for (int i = 0; i < 8; ++i) Put32(bytes, 0);  // BWLinLog, colour levels, ColLinLog
    bytes.append(60, '\0');
    if (c.header_length > 128) bytes.append(static_cast<size_t>(c.header_length - 128), 'c');
  }
  for (uint16_t p : c.pixels) Put16(bytes, p);
  return bytes;
}

// count distinct, easily told apart values starting at first.
inline std::vector<uint16_t> Ramp(size_t count, unsigned first) {
  std::vector<uint16_t> v(count);
  for (size_t i = 0; i < count; ++i) v[i] = static_cast<uint16_t>((first + 7 * i) & 0xffff);
  return v;
}

// The 16-bit little-endian values of bytes from offset on.
inline std::vector<uint16_t> Values16(const std::string& bytes, size_t offset = 0) {
  std::vector<uint16_t> v;
  for (size_t i = offset; i + 1 < bytes.size(); i += 2)
    v.push_back(static_cast<uint16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  return v;
}

// A converter refused its input: status 1 with a message of its own on standard error,
// not a sanitizer report (whose status would also be non-zero).
inline void ExpectRefusal(const RunResult& r, const std::string& what) {
  EXPECT_EQ(r.status, 1) << what << "\n" << r.err;
  EXPECT_NE(r.err, "") << what;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << what << "\n" << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << what << "\n" << r.err;
}

// Runs tarvex on the image-pair file name in dir with the pair "1 2" and checks the image
// count and size it reports for the file.
inline void ExpectTarvexReads(const TempDir& dir, const std::string& name, int images, int width, int height) {
  const RunResult r = RunProgram("tarvex", {name}, dir.path(), "1 2\n");
  EXPECT_NE(r.out.find("\n\nNumber of PIV Images          = " + std::to_string(images) + "\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Size of Images                = " + std::to_string(width) + " px x " +
                       std::to_string(height) + " px\n"),
            std::string::npos)
      << r.out;
}

#endif
