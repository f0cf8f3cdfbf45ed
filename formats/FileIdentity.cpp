#include "FileIdentity.h"

#include <sys/stat.h>

bool IdentifyFile(const char* name, FileIdentity& identity) {
  struct stat st;
  if (stat(name, &st) != 0) return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}

bool SameFile(const char* a, const char* b) {
  FileIdentity ia, ib;
  return IdentifyFile(a, ia) && IdentifyFile(b, ib) && ia == ib;
}
