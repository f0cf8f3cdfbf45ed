#include "FuzzProcess.h"

#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

void QuietConsole() {
  const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(null, STDOUT_FILENO) < 0) {
    perror("fuzz: cannot send the console to /dev/null");
    abort();
  }
  // With a standard stream closed beforehand, /dev/null lands on its number: keep it there.
  if (null > STDERR_FILENO) close(null);
}

void FuzzCheck(bool ok, const char* what) {
  if (ok) return;
  // Through the sanitizers' report channel, which libFuzzer keeps open when it closes
  // standard error (-close_fd_mask=2) to quiet the readers' messages.
  char message[200];
  snprintf(message, sizeof message, "fuzz check failed: %s", what);
  __sanitizer_report_error_summary(message);
  abort();
}
