// Which file a name leads to, whatever the name: "run.b16", "./run.b16", "../d/run.b16", a
// hard link or a symbolic link to it all lead to the same device and inode. A program that
// must never write over what it reads compares these, not the names.
//
// Worked example: after "ln run.b16 img.dpiv", IdentifyFile("img.dpiv", a) and
// IdentifyFile("./run.b16", b) both succeed and a == b, and SameFile("img.dpiv", "./run.b16")
// is true; IdentifyFile("nothere", c) and SameFile("nothere", "nothere") are false.
#ifndef FORMATS_FILEIDENTITY_H
#define FORMATS_FILEIDENTITY_H

#include <sys/types.h>

struct FileIdentity {
  dev_t device;
  ino_t inode;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
  return a.device == b.device && a.inode == b.inode;
}

// The identity of the file `name` leads to (through symbolic links); false when there is none.
bool IdentifyFile(const char* name, FileIdentity& identity);

// Whether both names lead to one file that exists.
bool SameFile(const char* a, const char* b);

#endif
