// Loaded into the real program (LD_PRELOAD) by tests that must stop it in the middle of
// a long run of renames: each renameat2 waits KIVO2_RENAME_DELAY_US microseconds first,
// so a batch of a thousand files lasts seconds and a kill lands where the test wants.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, unsigned int flags) {
  static int (*real)(int, const char*, int, const char*, unsigned int);
  if (!real) real = (int (*)(int, const char*, int, const char*, unsigned int))dlsym(RTLD_NEXT, "renameat2");
  const char* delay = getenv("KIVO2_RENAME_DELAY_US");
  const long us = delay ? atol(delay) : 0;
  if (us > 0) {
    const struct timespec wait = {us / 1000000, (us % 1000000) * 1000};
    nanosleep(&wait, NULL);
  }
  return real(olddirfd, oldpath, newdirfd, newpath, flags);
}
