#include "ByteOrder.h"

#include <cstring>

void LittleEndianToHost16(uint16_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char bytes[2];
    memcpy(bytes, &values[i], sizeof bytes);
    values[i] = LittleEndian16(bytes);
  }
}

void ReverseByteOrder(unsigned char* bytes, size_t n) {
  for (size_t i = 0, j = n; i + 1 < j; ++i, --j) {
    const unsigned char t = bytes[i];
    bytes[i] = bytes[j - 1];
    bytes[j - 1] = t;
  }
}
