// A NetCDF file held open by the library (libnetcdf): created as a NetCDF-4 file of the
// classic model that appears under its name only when complete (through AtomicFile), or
// opened to read. Every library call's status goes through Ok(), which keeps the first
// failure as a one-line reason.
//
// Worked example: Create("out/s.nc") makes "out/s.nc.tmp.<pid>.<n>", the library writes into
// it, and Commit() closes, syncs and renames it to "out/s.nc". A failed call, say a text
// attribute written after the file was closed, leaves Error() ==
// "cannot write 'out/s.nc': NetCDF: Not a valid ID" and, after Discard() or the destructor,
// neither name behind.
#ifndef FORMATS_NETCDFFILE_H
#define FORMATS_NETCDFFILE_H

#include <string>
#include <vector>

#include "AtomicFile.h"

class NetcdfFile {
 public:
  NetcdfFile() = default;
  ~NetcdfFile() { Discard(); }
  NetcdfFile(const NetcdfFile&) = delete;
  NetcdfFile& operator=(const NetcdfFile&) = delete;

  // Creates path's temporary file and opens it for defining and writing.
  bool Create(const std::string& path);
  // Opens path to read.
  bool Open(const std::string& path);
  // Closes a created file and puts it under its name; false with Error() on failure.
  bool Commit();
  // Closes the file; a created one is removed.
  void Discard();

  int Id() const { return id_; }
  const std::string& Path() const { return path_; }
  // True for NC_NOERR; otherwise false, with the first failure kept in Error().
  bool Ok(int status);
  // Keeps why as the failure (unless one is kept already); false.
  bool Fail(const std::string& why);
  const std::string& Error() const { return error_; }

  // Attributes of a variable (NC_GLOBAL for the file's own).
  bool PutText(int variable, const char* name, const std::string& text);
  bool PutDoubles(int variable, const char* name, const std::vector<double>& values);
  bool PutInts(int variable, const char* name, const std::vector<int>& values);
  bool PutFloat(int variable, const char* name, float value);
  // Read back; false when the attribute is absent or not of that kind (no error then).
  bool GetText(int variable, const char* name, std::string& text) const;
  bool GetDoubles(int variable, const char* name, std::vector<double>& values) const;

 private:
  int id_ = -1;
  bool writing_ = false;
  std::string path_;
  std::string error_;
  AtomicFile file_;
};

#endif
