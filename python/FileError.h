// A file that cannot be opened, read or written: Python sees an OSError with the message.
#ifndef PYTHON_FILEERROR_H
#define PYTHON_FILEERROR_H

#include <stdexcept>

namespace tarvex {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarvex

#endif
