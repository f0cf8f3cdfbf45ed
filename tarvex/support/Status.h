// The outcome of a library call that can fail for a reason a person should read: every such
// call returns a Status, ok or failed with its message, instead of a flag beside an error
// argument.
//
// Worked example: Status() is ok, and its message() is ""; Status::Failure("the analysis was
// cancelled") is not ok, converts to false, and its message() is that text. A literal
// message is kept as a pointer, so that running out of memory is reported without
// allocating; Failure(std::string) keeps a message made at run time.
#pragma once

#include <string>
#include <utility>

namespace tarvex {

class [[nodiscard]] Status {
 public:
  Status() = default;
  // `literal` must outlive the status: a string literal.
  static Status Failure(const char* literal) {
    Status s;
    s.literal_ = literal != nullptr ? literal : "unknown failure";
    s.failed_ = true;
    return s;
  }
  static Status Failure(std::string message) {
    Status s;
    s.text_ = std::move(message);
    s.failed_ = true;
    return s;
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const char* message() const { return literal_ != nullptr ? literal_ : text_.c_str(); }

 private:
  const char* literal_ = nullptr;
  std::string text_;
  bool failed_ = false;
};

}  // namespace tarvex
