#include "NetcdfFile.h"

#include <fcntl.h>
#include <netcdf.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifdef TARVEX_HDF5_NO_EXIT_HANDLER
#include <hdf5.h>
#endif

namespace {

// HDF5 (1.10) frees a file whose close failed but keeps its handle, and its exit handler
// then closes that handle again and crashes: a full disk would end in a segmentation fault
// after the message. Files are all closed here before exit, so the handler has no work;
// it must be declined before the library's first call, which is the first nc_ call.
void DeclineHdf5ExitHandler() {
#ifdef TARVEX_HDF5_NO_EXIT_HANDLER
  static const bool declined = H5dont_atexit() >= 0;
  (void)declined;
#endif
}

}  // namespace

bool NetcdfFile::Create(const std::string& path) {
  Discard();
  path_ = path;
  error_.clear();
  if (!file_.Open(path, true)) {
    error_ = file_.Error();
    return false;
  }
  writing_ = true;
  DeclineHdf5ExitHandler();
  errno = 0;
  // The library writes into the temporary file AtomicFile made (it truncates, not replaces).
  return Ok(nc_create(file_.TemporaryName().c_str(), NC_CLOBBER | NC_NETCDF4 | NC_CLASSIC_MODEL, &id_));
}

bool NetcdfFile::Open(const std::string& path) {
  Discard();
  path_ = path;
  error_.clear();
  writing_ = false;
  DeclineHdf5ExitHandler();
  return Ok(nc_open(path.c_str(), NC_NOWRITE, &id_));
}

bool NetcdfFile::Ok(int status) {
  // errno is cleared after every call that succeeds, so that a write that fails tells the
  // system's reason (a full disk) where the library says no more than "HDF error".
  const int cause = errno;
  if (status == NC_NOERR) {
    errno = 0;
    return true;
  }
  if (!writing_) return Fail("cannot read the NetCDF file " + path_ + ": " + nc_strerror(status));
  if (cause == 0 || status > 0) return Fail("cannot write '" + path_ + "': " + nc_strerror(status));
  return Fail("cannot write '" + path_ + "': " + std::strerror(cause) + " (" + nc_strerror(status) + ")");
}

bool NetcdfFile::Fail(const std::string& why) {
  if (error_.empty()) error_ = why;
  return false;
}

bool NetcdfFile::Commit() {
  if (!writing_ || id_ < 0) return Ok(NC_EBADID);
  const int id = id_;
  id_ = -1;
  if (!Ok(nc_close(id)) || !error_.empty()) {
    Discard();
    return false;
  }
  // Synced by name as well: what the library wrote is on the disk before the rename.
  const int fd = open(file_.TemporaryName().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  writing_ = false;
  if (file_.Commit()) return true;
  error_ = file_.Error();
  return false;
}

void NetcdfFile::Discard() {
  if (id_ >= 0) nc_close(id_);
  id_ = -1;
  file_.Discard();
  writing_ = false;
}

bool NetcdfFile::PutText(int variable, const char* name, const std::string& text) {
  return Ok(nc_put_att_text(id_, variable, name, text.size(), text.c_str()));
}

bool NetcdfFile::PutDoubles(int variable, const char* name, const std::vector<double>& values) {
  return Ok(nc_put_att_double(id_, variable, name, NC_DOUBLE, values.size(), values.data()));
}

bool NetcdfFile::PutInts(int variable, const char* name, const std::vector<int>& values) {
  return Ok(nc_put_att_int(id_, variable, name, NC_INT, values.size(), values.data()));
}

bool NetcdfFile::PutFloat(int variable, const char* name, float value) {
  return Ok(nc_put_att_float(id_, variable, name, NC_FLOAT, 1, &value));
}

bool NetcdfFile::GetText(int variable, const char* name, std::string& text) const {
  nc_type type = NC_NAT;
  size_t length = 0;
  if (nc_inq_att(id_, variable, name, &type, &length) != NC_NOERR || type != NC_CHAR) return false;
  text.assign(length, '\0');
  if (length > 0 && nc_get_att_text(id_, variable, name, &text[0]) != NC_NOERR) return false;
  return true;
}

bool NetcdfFile::GetDoubles(int variable, const char* name, std::vector<double>& values) const {
  nc_type type = NC_NAT;
  size_t length = 0;
  if (nc_inq_att(id_, variable, name, &type, &length) != NC_NOERR || type == NC_CHAR || type == NC_STRING)
    return false;
  values.assign(length, 0.0);
  return length == 0 || nc_get_att_double(id_, variable, name, values.data()) == NC_NOERR;
}
