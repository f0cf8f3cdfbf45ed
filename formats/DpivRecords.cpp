#include "DpivRecords.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// std::isspace in the C locale.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

// One number as strtod reads it from p (white space first skipped); p moves past it.
bool ScanNumber(const char*& p, const char* end, double& value) {
  p = SkipSpace(p, end);
  if (p == end) return false;
  const std::from_chars_result fast = std::from_chars(p, end, value);
  if (fast.ec == std::errc() && (fast.ptr == end || IsSpace(*fast.ptr))) {
    p = fast.ptr;
    return std::isfinite(value);
  }
  char* stop = nullptr;
  value = std::strtod(p, &stop);
  if (stop == p) return false;
  p = stop;
  return std::isfinite(value);
}

// The flag as strtol reads it, 0 or 1, followed by white space.
bool ScanFlag(const char*& p, const char* end, bool& valid) {
  p = SkipSpace(p, end);
  if (p == end) return false;
  long flag = -1;
  if ((*p == '0' || *p == '1') && p + 1 < end && IsSpace(p[1])) {
    flag = *p - '0';
    ++p;
  } else {
    char* stop = nullptr;
    flag = std::strtol(p, &stop, 10);
    if (stop == p || stop >= end || !IsSpace(*stop)) return false;
    p = stop;
  }
  if (flag != 0 && flag != 1) return false;
  valid = flag == 1;
  return true;
}


// The lines of a buffer as std::getline splits them: at '\n', the last one also without it.
class Lines {
 public:
  explicit Lines(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}
  bool Next(const char*& begin, const char*& end) {
    if (p_ == end_) return false;
    begin = p_;
    const void* newline = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
    end = newline != nullptr ? static_cast<const char*>(newline) : end_;
    p_ = end == end_ ? end_ : end + 1;
    return true;
  }

 private:
  const char* p_;
  const char* end_;
};

}  // namespace

bool ReadDpivText(const std::string& path, std::string& buffer, std::string& error) {
  buffer.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open the DPIV file " + path;
    return false;
  }
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > 0) buffer.reserve(static_cast<size_t>(info.st_size));
  char block[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = "cannot read the DPIV file " + path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    buffer.append(block, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

bool ScanDpivRecord(const char* begin, const char* end, VectorRecord& record) {
  const char* p = begin;
  double values[5];  // x, y, U, V, peak value
  if (!ScanFlag(p, end, record.valid)) return false;
  for (double& value : values)
    if (!ScanNumber(p, end, value)) return false;
  if (SkipSpace(p, end) != end) return false;
  record.x = values[0];
  record.y = values[1];
  record.u = values[2];
  record.v = values[3];
  record.peak = values[4];
  return true;
}

bool ReadDpivRecords(const std::string& path, std::string& buffer, std::vector<VectorRecord>& records,
                     std::string& error) {
  records.clear();
  if (!ReadDpivText(path, buffer, error)) return false;
  Lines lines(buffer);
  const char* begin = nullptr;
  const char* end = nullptr;
  int number = 0;
  while (number < kDpivHeaderLines && lines.Next(begin, end) && end > begin && *begin == '#') number++;
  if (number < kDpivHeaderLines) {
    error = path + " does not begin with the 12 comment lines of a DPIV file";
    return false;
  }
  while (lines.Next(begin, end)) {
    number++;
    VectorRecord record;
    if (!ScanDpivRecord(begin, end, record)) {
      error = path + ", line " + std::to_string(number) + ": not a record of flag, x, y, U, V and peak value";
      return false;
    }
    records.push_back(record);
  }
  if (records.empty()) {
    error = path + " holds no vectors";
    return false;
  }
  return true;
}
