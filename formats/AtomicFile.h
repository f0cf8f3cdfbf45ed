// An output file that appears under its name only when it is complete: written under a
// temporary name in the same directory, flushed to the disk and then renamed. A run that
// stops half-way, or a write that fails (a full disk), leaves no file under the final name
// that could pass for a finished one; an older file of that name stays as it was.
//
// Worked example: Open("out/run.dpiv") writes "out/run.dpiv.tmp.<pid>.<n>"; Commit() renames
// it to "out/run.dpiv". On a full disk Commit() returns false with Error() ==
// "cannot write 'out/run.dpiv': No space left on device", and neither name exists afterwards
// (unless run.dpiv existed before, which is then untouched).
//
// A name that is a symbolic link is written through: "last.dpiv -> runs/run.dpiv" writes
// "runs/run.dpiv.tmp.<pid>.<n>" and renames it to "runs/run.dpiv", so the link stays a link.
// A name that is not a regular file (a device such as /dev/null, a FIFO, a socket, a
// directory) is refused before anything is written: Error() == "cannot write 'p': it is a
// FIFO, not a regular file".
#ifndef FORMATS_ATOMICFILE_H
#define FORMATS_ATOMICFILE_H

#include <cstdio>
#include <string>

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile() { Discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file beside the file the name finally names (following symbolic
  // links; permissions as a new file of that name would get); false with Error() when it
  // cannot be created or the name is not a regular file.
  bool Open(const std::string& name, bool binary);
  // The stream to write to while the file is open.
  FILE* Stream() const { return file_; }
  // Notes a failed write made through Stream() (errno tells why).
  void Failed();
  // Flushes, syncs and closes the temporary file, renames it to the final name and syncs
  // the directory that holds it; false with Error(), and the temporary file removed, when
  // anything failed on the way.
  bool Commit();
  // Closes and removes the temporary file, if any.
  void Discard();
  const std::string& Error() const { return error_; }
  // Why, the part of Error() after the name: "No space left on device".
  const std::string& Reason() const { return reason_; }

 private:
  bool Fail(int cause);
  bool Refuse(const std::string& reason);

  FILE* file_ = nullptr;
  std::string name_;    // as given
  std::string target_;  // the file it finally names, links followed
  std::string temp_;
  std::string error_;
  std::string reason_;
};

#endif
