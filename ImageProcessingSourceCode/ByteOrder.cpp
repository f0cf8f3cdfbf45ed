#include <cstdio>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "ConverterReaders.h"

char* ReverseBytes(char* ptr, unsigned int size) {
  char* temp = new (std::nothrow) char[size];
  if (temp == nullptr) {
    printf("\n\nNOT ENOUGH MEMORY FOR 'temp'\n\n");
    return nullptr;
  }
  memcpy(temp, ptr, size);
  for (unsigned int i = 0; i < size; ++i) ptr[i] = temp[size - 1 - i];
  delete[] temp;
  return ptr;
}

void LittleEndianToHost16(uint16_t* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    unsigned char bytes[2];
    memcpy(bytes, &values[i], sizeof bytes);
    values[i] = LittleEndian16(bytes);
  }
}
