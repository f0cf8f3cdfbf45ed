#include "TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

const std::string kTarvexBanner =
    "\n\n"
    "\t\t*************************\n"
    "\t\t*        TARVEX         *\n"
    "\t\t*                       *\n"
    "\t\t*           v 2001.1    *\n"
    "\t\t*************************\n"
    "\n";

std::string BinPath(const std::string& program) { return std::string(TARVEX_BIN_DIR) + "/" + program; }

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& dir, const std::string& stdin_text) {
  TempDir io;
  const std::string in_path = io.file("stdin"), out_path = io.file("stdout"), err_path = io.file("stderr");
  WriteFile(in_path, stdin_text);

  std::vector<std::string> argv_s;
  argv_s.push_back(program.find('/') == std::string::npos ? BinPath(program) : program);
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  RunResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  r.out = ReadFile(out_path);
  r.err = ReadFile(err_path);
  return r;
}

TruthScore CompareWithTruth(const TempDir& dir, const std::string& reference) {
  std::vector<std::string> args = {"p.dpiv", "p.b16.truth"};
  if (!reference.empty()) args.insert(args.begin(), {"--reference", reference});
  const RunResult r = RunProgram("pivcompare", args, dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  TruthScore s;
  EXPECT_EQ(std::sscanf(r.out.c_str(), "valid %d of %d rms %lf px bias (%lf, %lf) px outliers %lf", &s.valid,
                        &s.points, &s.rms, &s.biasU, &s.biasV, &s.outliers),
            6)
      << r.out;
  return s;
}

std::string RunWithTerminalStandardError(const std::string& program, const std::vector<std::string>& args,
                                         const std::string& dir) {
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return "forkpty failed";
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0 || !freopen("out.txt", "w", stdout) || !freopen("/dev/null", "r", stdin)) _exit(127);
    std::vector<std::string> argv_s = {BinPath(program)};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string seen;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has closed the terminal
    seen.append(buffer, static_cast<size_t>(n));
  }
  close(master);
  int status = 0;
  waitpid(pid, &status, 0);
  return seen;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void WriteImagePairFile(const std::string& path, int width, int height,
                        const std::vector<std::vector<uint16_t>>& images) {
  std::string bytes;
  auto put16 = [&bytes](unsigned v) {
    bytes.push_back(static_cast<char>(v & 0xff));
    bytes.push_back(static_cast<char>((v >> 8) & 0xff));
  };
  put16(static_cast<unsigned>(width));
  put16(static_cast<unsigned>(height));
  for (const auto& img : images)
    for (uint16_t p : img) put16(p);
  WriteFile(path, bytes);
}

std::vector<DPIVRecord> ReadDPIVFile(const std::string& path) {
  std::vector<DPIVRecord> records;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    DPIVRecord r{};
    if (!(fields >> r.flag >> r.x >> r.y >> r.u >> r.v >> r.rho))
      throw std::runtime_error("malformed DPIV record in " + path + ": " + line);
    records.push_back(r);
  }
  return records;
}
