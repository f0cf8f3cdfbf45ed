#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

// Distinguishes the temporary files of one process, also across threads.
std::atomic<unsigned long> temporaryCount{0};

}  // namespace

bool AtomicFile::Fail(int cause) {
  if (error_.empty()) {
    error_ = "cannot write '" + name_ + "': " + std::strerror(cause);
    cause_ = cause;
  }
  return false;
}

void AtomicFile::Failed() { Fail(errno != 0 ? errno : EIO); }

bool AtomicFile::Open(const std::string& name, bool binary) {
  Discard();
  name_ = name;
  error_.clear();
  cause_ = 0;
  // What would stop the file being opened for writing under its own name stops it here too:
  // a directory of that name, or a file that may not be written.
  struct stat existing;
  if (stat(name.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Fail(EISDIR);
    if (access(name.c_str(), W_OK) != 0) return Fail(errno);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = name + ".tmp." + std::to_string(getpid()) + "." + std::to_string(temporaryCount++);
    // 0666 and the umask: the permissions the final name would have got from fopen.
    const int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) break;
    file_ = fdopen(fd, binary ? "wb" : "w");
    if (file_ != nullptr) return true;
    const int cause = errno;
    close(fd);
    unlink(temp_.c_str());
    errno = cause;
    break;
  }
  const int cause = errno;
  temp_.clear();
  return Fail(cause);
}

bool AtomicFile::Commit() {
  if (file_ == nullptr) return Fail(EBADF);
  int cause = 0;
  errno = 0;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0)
    cause = errno != 0 ? errno : EIO;
  else if (fsync(fileno(file_)) != 0 && errno != EINVAL && errno != EROFS)
    cause = errno;  // EINVAL/EROFS: a file that cannot be synced (a pipe, a special file)
  if (std::fclose(file_) != 0 && cause == 0) cause = errno;
  file_ = nullptr;
  if (cause == 0 && error_.empty() && std::rename(temp_.c_str(), name_.c_str()) != 0) cause = errno;
  if (cause != 0 || !error_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
    return cause != 0 ? Fail(cause) : false;
  }
  temp_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}
