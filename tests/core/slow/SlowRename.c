// Loaded into the real program (LD_PRELOAD) by tests that must stop it in the middle of
// a long run of renames, or give it a full disk:
// - each renameat2 and rename waits KIVO2_RENAME_DELAY_US microseconds first, so a batch
//   of a thousand files lasts seconds and a kill lands where the test wants;
// - every write or flush of a file below KIVO2_FULL_FOLDER fails with ENOSPC, as on a
//   disk that has no room left (files can still be made and removed there).
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

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

int rename(const char* oldpath, const char* newpath) { return renameat2(AT_FDCWD, oldpath, AT_FDCWD, newpath, 0); }

// The descriptor is open on a file below KIVO2_FULL_FOLDER.
static int full(int fd) {
  const char* folder = getenv("KIVO2_FULL_FOLDER");
  if (!folder || !*folder) return 0;
  char link[64], path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t size = readlink(link, path, sizeof path - 1);
  if (size <= 0) return 0;
  path[size] = '\0';
  return strncmp(path, folder, strlen(folder)) == 0;
}

ssize_t write(int fd, const void* buffer, size_t count) {
  static ssize_t (*real)(int, const void*, size_t);
  if (!real) real = (ssize_t (*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
  if (count > 0 && full(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buffer, count);
}

int fsync(int fd) {
  static int (*real)(int);
  if (!real) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  if (full(fd)) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd);
}
