#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Distinguishes the temporary files of one process, also across threads.
std::atomic<unsigned long> temporaryCount{0};

// The most symbolic links followed from a name, as the system's own limit for a path.
constexpr int kMaxLinks = 40;

// The directory part of a path with its final '/', or "" for a name in the current directory.
std::string DirectoryPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file that name finally names, its symbolic links followed (relative ones from the
// link's own directory). A name that does not exist (yet), or whose directories cannot be
// looked at, is returned as it stands: creating the file then says what is wrong. False
// with errno ELOOP when the links go round.
bool FollowLinks(const std::string& name, std::string& target) {
  target = name;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat entry;
    if (lstat(target.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) return true;
    std::vector<char> link(static_cast<size_t>(entry.st_size > 0 ? entry.st_size : 255) + 1);
    const ssize_t length = readlink(target.c_str(), link.data(), link.size());
    if (length < 0) return true;
    if (static_cast<size_t>(length) == link.size()) continue;  // grew meanwhile: read again
    const std::string text(link.data(), static_cast<size_t>(length));
    target = text[0] == '/' ? text : DirectoryPart(target) + text;
  }
  errno = ELOOP;
  return false;
}

// What a file that is not a regular one is, for the refusal.
const char* KindOfFile(mode_t mode) {
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "a special file";
}

// Makes the rename itself durable. A directory that cannot be opened for reading is left as
// it is (the rename is done); one whose file system cannot sync directories as well.
int SyncDirectory(const std::string& file) {
  const std::string directory = DirectoryPart(file);
  const int fd = open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  int cause = 0;
  if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) cause = errno;
  close(fd);
  return cause;
}

}  // namespace

bool AtomicFile::Refuse(const std::string& reason) {
  if (error_.empty()) {
    reason_ = reason;
    error_ = "cannot write '" + name_ + "': " + reason;
  }
  return false;
}

bool AtomicFile::Fail(int cause) { return Refuse(std::strerror(cause)); }

void AtomicFile::Failed() { Fail(errno != 0 ? errno : EIO); }

bool AtomicFile::Open(const std::string& name, bool binary) {
  Discard();
  name_ = name;
  error_.clear();
  reason_.clear();
  if (!FollowLinks(name, target_)) return Fail(errno);
  // What would stop the file being opened for writing under its own name stops it here too:
  // a directory of that name, or a file that may not be written. Anything else that is not
  // a regular file would be replaced by one, so it is refused.
  struct stat existing;
  if (stat(target_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return Fail(EISDIR);
    if (!S_ISREG(existing.st_mode))
      return Refuse(std::string("it is ") + KindOfFile(existing.st_mode) + ", not a regular file");
    if (access(target_.c_str(), W_OK) != 0) return Fail(errno);
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp_ = target_ + ".tmp." + std::to_string(getpid()) + "." + std::to_string(temporaryCount++);
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
  if (cause == 0 && error_.empty() && std::rename(temp_.c_str(), target_.c_str()) != 0) cause = errno;
  if (cause != 0 || !error_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
    return cause != 0 ? Fail(cause) : false;
  }
  temp_.clear();
  // The file is complete under its name; a directory that cannot be synced is still said.
  cause = SyncDirectory(target_);
  return cause == 0 || Fail(cause);
}

void AtomicFile::Discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}
