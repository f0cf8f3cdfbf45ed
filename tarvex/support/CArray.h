// Owner of one array from the C allocator: the kernels' work arrays, made either fresh
// for one call (Allocate) or once and reused while large enough (Reserve).
//
// Worked example: Allocate(3, true) gives 0 0 0 and capacity 3. On an empty array Reserve(100)
// allocates 100 elements; Reserve(60) then keeps the same array (capacity 100, same address,
// contents kept), and Reserve(101) replaces it with a new one of 101.
#ifndef CARRAY_H
#define CARRAY_H

#include <cstddef>
#include <cstdlib>

namespace tarvex {

template <typename T>
class CArray {
 public:
  CArray() = default;
  ~CArray() { free(data); }
  CArray(const CArray&) = delete;
  CArray& operator=(const CArray&) = delete;

  // A new array of `count` elements, zero-filled on request; the old contents are gone.
  bool Allocate(size_t count, bool zeroFill) {
    free(data);
    data = static_cast<T*>(zeroFill ? calloc(count, sizeof(T)) : malloc(count * sizeof(T)));
    capacity = data != nullptr ? count : 0;
    return data != nullptr;
  }
  // Room for at least `count` elements (contents undefined); allocates only when the
  // array is smaller, so a reused array costs nothing in steady state.
  bool Reserve(size_t count) { return count <= capacity || Allocate(count, false); }

  T* data = nullptr;
  size_t capacity = 0;
};

}  // namespace tarvex

#endif
