/* Preloaded into a program under test (LD_PRELOAD): every thread start fails as it does when
   the process may start no more (ulimit -u reached), so that std::thread throws
   std::system_error. */
#include <errno.h>
#include <pthread.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument) {
  (void)thread;
  (void)attributes;
  (void)start;
  (void)argument;
  return EAGAIN;
}
