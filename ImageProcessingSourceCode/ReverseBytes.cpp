#include "ByteOrder.h"
#include "ConverterReaders.h"

// The converters' name for the one byte reversal; it needs no copy, so it cannot fail.
char* ReverseBytes(char* ptr, unsigned int size) {
  ReverseByteOrder(reinterpret_cast<unsigned char*>(ptr), size);
  return ptr;
}
