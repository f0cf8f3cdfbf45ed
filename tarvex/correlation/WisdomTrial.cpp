#include "correlation/WisdomTrial.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fftw.h>

namespace tarvex {

namespace {

constexpr int kChildNotWisdom = 3;

// Writes all of text to fd; false when it cannot.
bool WriteAll(int fd, const char* text, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, text, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// The child: stays silent (FFTW's own complaint would repeat this process's), imports, plans,
// and sends its wisdom back; _exit, so that nothing this process holds is flushed or freed twice.
[[noreturn]] void RunChild(int fd, const std::string& text, void (*plan)(int), int speed) {
  const int null = open("/dev/null", O_WRONLY);
  if (null >= 0) {
    dup2(null, 1);
    dup2(null, 2);
  }
  if (fftw_import_wisdom_from_string(text.c_str()) != FFTW_SUCCESS) _exit(kChildNotWisdom);
  plan(speed);
  char* wisdom = fftw_export_wisdom_to_string();
  const bool sent = wisdom != nullptr && WriteAll(fd, wisdom, std::strlen(wisdom));
  _exit(sent ? 0 : 1);
}

}  // namespace

WisdomTrial TryWisdom(const std::string& text, void (*plan)(int), int speed, std::string& wisdom) {
  wisdom.clear();
  int channel[2];
  if (pipe(channel) != 0) return WisdomTrial::Untried;
  const pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    return WisdomTrial::Untried;
  }
  if (child == 0) {
    close(channel[0]);
    RunChild(channel[1], text, plan, speed);
  }
  close(channel[1]);
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(channel[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    wisdom.append(buffer, static_cast<size_t>(n));
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !wisdom.empty()) return WisdomTrial::Good;
  if (WIFEXITED(status) && WEXITSTATUS(status) == kChildNotWisdom) return WisdomTrial::NotWisdom;
  return WisdomTrial::PlannerFailed;
}

}  // namespace tarvex
