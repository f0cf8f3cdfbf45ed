// Byte order of the values in the toolset's files and its inputs. The files are
// little-endian whatever the host; decoding byte by byte keeps every host reading and
// writing the same bytes.
//
// Worked example: the bytes 34 12 decode to 0x1234 = 4660; the bytes 78 56 34 12 to
// 0x12345678; reversing the 4 bytes 01 02 03 04 in place gives 04 03 02 01.
#ifndef FORMATS_BYTEORDER_H
#define FORMATS_BYTEORDER_H

#include <cstddef>
#include <cstdint>

inline uint16_t LittleEndian16(const unsigned char* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline int32_t LittleEndian32(const unsigned char* bytes) {
  const uint32_t v = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                     (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return static_cast<int32_t>(v);
}

// Turns count 16-bit values, read from a file into memory as raw bytes, into host values.
void LittleEndianToHost16(uint16_t* values, size_t count);

// Reverses the order of n bytes in place.
void ReverseByteOrder(unsigned char* bytes, size_t n);

#endif
