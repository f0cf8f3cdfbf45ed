// The atomic output file on names that are not plain files: symbolic links are written
// through to the file they name and stay links; devices, FIFOs, sockets and directories are
// refused and left as they are. Also end to end, through pivsynth's --out.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "AtomicFile.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

// Writes text to name through an AtomicFile; the error, or "" on success.
std::string WriteThrough(const std::string& name, const std::string& text) {
  AtomicFile file;
  if (!file.Open(name, true)) return file.Error();
  if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size()) file.Failed();
  return file.Commit() ? "" : file.Error();
}

// No temporary file is left in the directory.
void ExpectNoTemporaryFiles(const std::string& directory) {
  for (const fs::directory_entry& entry : fs::directory_iterator(directory))
    EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
}

TEST(AtomicFileLinks, AreWrittenThroughAndStayLinks) {
  TempDir dir;
  fs::create_directory(dir.file("runs"));
  WriteFile(dir.file("runs/run.dat"), "old");
  fs::create_symlink("runs/run.dat", dir.file("last.dat"));  // relative, from the link's directory
  fs::create_symlink(dir.file("last.dat"), dir.file("chain.dat"));  // absolute, to another link
  fs::create_symlink("../runs/new.dat", dir.file("runs/dangling.dat"));  // names no file yet

  EXPECT_EQ(WriteThrough(dir.file("last.dat"), "first"), "");
  EXPECT_TRUE(fs::is_symlink(dir.file("last.dat")));
  EXPECT_EQ(ReadFile(dir.file("runs/run.dat")), "first");

  EXPECT_EQ(WriteThrough(dir.file("chain.dat"), "second"), "");
  EXPECT_TRUE(fs::is_symlink(dir.file("chain.dat")));
  EXPECT_TRUE(fs::is_symlink(dir.file("last.dat")));
  EXPECT_EQ(ReadFile(dir.file("runs/run.dat")), "second");

  EXPECT_EQ(WriteThrough(dir.file("runs/dangling.dat"), "third"), "");
  EXPECT_TRUE(fs::is_symlink(dir.file("runs/dangling.dat")));
  EXPECT_EQ(ReadFile(dir.file("runs/new.dat")), "third");
  ExpectNoTemporaryFiles(dir.path());
  ExpectNoTemporaryFiles(dir.file("runs"));
}

TEST(AtomicFileLinks, ThatGoRoundAreRefused) {
  TempDir dir;
  fs::create_symlink("b", dir.file("a"));
  fs::create_symlink("a", dir.file("b"));
  EXPECT_EQ(WriteThrough(dir.file("a"), "x"), "cannot write '" + dir.file("a") + "': Too many levels of symbolic links");
  EXPECT_TRUE(fs::is_symlink(dir.file("a")));
  EXPECT_TRUE(fs::is_symlink(dir.file("b")));
}

TEST(AtomicFileRefusals, DevicesFifosSocketsAndDirectoriesStayAsTheyAre) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir.file("null"));
  fs::create_symlink("pipe", dir.file("to-pipe"));
  fs::create_directory(dir.file("folder"));
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir.file("sock");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, socket_path.c_str());
  ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"pipe", "it is a FIFO, not a regular file"},
      {"to-pipe", "it is a FIFO, not a regular file"},
      {"null", "it is a character device, not a regular file"},
      {"sock", "it is a socket, not a regular file"},
      {"folder", "Is a directory"},
  };
  for (const auto& c : cases) {
    AtomicFile file;
    EXPECT_FALSE(file.Open(dir.file(c.name), true)) << c.name;
    EXPECT_EQ(file.Error(), "cannot write '" + dir.file(c.name) + "': " + c.reason);
    EXPECT_EQ(file.Reason(), c.reason);
  }
  close(sock);
  EXPECT_TRUE(fs::is_fifo(dir.file("pipe")));
  EXPECT_TRUE(fs::is_symlink(dir.file("to-pipe")));
  EXPECT_TRUE(fs::is_symlink(dir.file("null")));
  EXPECT_TRUE(fs::is_socket(dir.file("sock")));
  EXPECT_TRUE(fs::is_directory(dir.file("folder")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  ExpectNoTemporaryFiles(dir.path());
}

TEST(AtomicFileRefusals, PivsynthOutputThroughALinkAndOntoAFifo) {
  TempDir dir;
  fs::create_directory(dir.file("store"));
  WriteFile(dir.file("store/img.b16"), "old");
  fs::create_symlink("store/img.b16", dir.file("img.b16"));
  const RunResult written = RunProgram("pivsynth", {"--size", "64x64", "--out", "img.b16"}, dir.path());
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_TRUE(fs::is_symlink(dir.file("img.b16")));
  // The 64 x 64 pair: a 4-byte header and two images of 2 bytes a pixel.
  EXPECT_EQ(fs::file_size(dir.file("store/img.b16")), 4u + 2u * 2u * 64u * 64u);

  ASSERT_EQ(mkfifo(dir.file("fifo.b16").c_str(), 0600), 0);
  fs::create_symlink("/dev/null", dir.file("null.b16"));
  for (const std::string name : {"fifo.b16", "null.b16"}) {
    const RunResult r = RunProgram("pivsynth", {"--size", "64x64", "--out", name}, dir.path());
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find("pivsynth: cannot write '" + name + "': it is a"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", not a regular file\n"), std::string::npos) << r.err;
  }
  EXPECT_TRUE(fs::is_fifo(dir.file("fifo.b16")));
  EXPECT_TRUE(fs::is_symlink(dir.file("null.b16")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

}  // namespace
