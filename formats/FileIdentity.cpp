#include "FileIdentity.h"

#include <sys/stat.h>

bool IdentifyFile(const char* name, FileIdentity& identity) {
  struct stat st;
  if (stat(name, &st) != 0) return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}
