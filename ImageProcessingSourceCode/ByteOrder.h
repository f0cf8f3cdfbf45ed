// Little-endian decoding of the values stored in the converters' input and output files.
// The files are little-endian whatever the host; decoding byte by byte keeps every host
// reading and writing the same bytes.
#ifndef BYTEORDER_H
#define BYTEORDER_H

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

#endif
