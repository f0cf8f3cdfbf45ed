// An output file that appears under its name only when it is complete: written under a
// temporary name in the same directory, flushed to the disk and then renamed. A run that
// stops half-way, or a write that fails (a full disk), leaves no file under the final name
// that could pass for a finished one; an older file of that name stays as it was.
//
// Worked example: Open("out/run.dpiv") writes "out/run.dpiv.tmp.<pid>.<n>"; Commit() renames
// it to "out/run.dpiv". On a full disk Commit() returns false with Error() ==
// "cannot write 'out/run.dpiv': No space left on device", and neither name exists afterwards
// (unless run.dpiv existed before, which is then untouched).
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

  // Creates the temporary file (permissions as a new file of that name would get); false
  // with Error() when it cannot be created.
  bool Open(const std::string& name, bool binary);
  // The stream to write to while the file is open.
  FILE* Stream() const { return file_; }
  // The temporary file's name while the file is open, for a library that writes by name
  // (it must write into that file, not replace it, so that Commit syncs what it wrote).
  const std::string& TemporaryName() const { return temp_; }
  // Notes a failed write made through Stream() (errno tells why).
  void Failed();
  // Flushes, syncs and closes the temporary file and renames it to the final name; false
  // with Error(), and the temporary file removed, when anything failed on the way.
  bool Commit();
  // Closes and removes the temporary file, if any.
  void Discard();
  const std::string& Error() const { return error_; }
  // The errno value behind Error() (0 while there is none).
  int Cause() const { return cause_; }

 private:
  bool Fail(int cause);

  FILE* file_ = nullptr;
  std::string name_;
  std::string temp_;
  std::string error_;
  int cause_ = 0;
};

#endif
