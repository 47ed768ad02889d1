/* A stand-in for the system's scanner library, for the scanner tests (loaded through
   KIVO2_SANE_LIBRARY). It has two grey scanners of 64 x 64 pixels:
   - "vanish:0" disappears in the middle of its first page: half the rows arrive, then the read
     fails with an I/O error and the device is no longer listed;
   - "slow:0" sends its page 64 bytes every 50 ms (about three seconds) and stops when cancelled;
   - "piped:0" reads its device the way many libraries do: sane_start starts a thread that
     writes the page into a pipe (more than the pipe holds, so the thread waits in its write),
     sane_read hands out a row from the pipe every 5 ms (at once while FAKE_SANE_FAST is set in
     the environment), and sane_cancel closes its end of the
     pipe, waits a moment and then cancels the thread asynchronously. fake_broken_writes() tells
     how many of the thread's writes woke to a broken pipe: such a thread runs on into the C
     library just as the cancel comes.
   Looking for the devices takes FAKE_SANE_SEARCH_MS milliseconds when that is set in the
   environment, as a network backend does whose scanner does not answer; fake_searches() tells
   how often they were looked for. */
#include <errno.h>
#include <pthread.h>
#include <sane/sane.h>
#include <signal.h>
#include <stdlib.h>
#include <stdatomic.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kWidth = 64, kLines = 64, kPage = kWidth * kLines, kPipedLines = 2048 };

static int vanished = 0;
static int delivered = 0;
static atomic_int cancelled = 0;
static SANE_Device vanishing = {"vanish:0", "Kivo2", "Vanishing scanner", "flatbed scanner"};
static SANE_Device slow = {"slow:0", "Kivo2", "Slow scanner", "flatbed scanner"};
static SANE_Device piped = {"piped:0", "Kivo2", "Piped scanner", "flatbed scanner"};
static const SANE_Device* both[] = {&vanishing, &slow, &piped, NULL};
static const SANE_Device* slowOnly[] = {&slow, &piped, NULL};

static int pipeEnds[2] = {-1, -1};
static pthread_t writer;
static int writing = 0;
static atomic_int brokenWrites = 0;

int fake_broken_writes(void) { return atomic_load(&brokenWrites); }

static atomic_int searches = 0;
int fake_searches(void) { return atomic_load(&searches); }

static void* WritePage(void* unused) {
  (void)unused;
  pthread_setcanceltype(PTHREAD_CANCEL_ASYNCHRONOUS, NULL);
  unsigned char row[kWidth];
  memset(row, 0x40, sizeof row);
  for (int y = 0; y < kPipedLines; ++y) {
    size_t done = 0;
    while (done < sizeof row) {
      const ssize_t n = write(pipeEnds[1], row + done, sizeof row - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (errno == EPIPE) atomic_fetch_add(&brokenWrites, 1);
        return NULL;
      }
      done += (size_t)n;
    }
  }
  return NULL;
}
static SANE_Option_Descriptor count = {"", "Number of options", "", SANE_TYPE_INT, SANE_UNIT_NONE,
                                       sizeof(SANE_Word), SANE_CAP_SOFT_DETECT, SANE_CONSTRAINT_NONE, {NULL}};

SANE_Status sane_init(SANE_Int* version, SANE_Auth_Callback authorize) {
  (void)authorize;
  if (version) *version = SANE_VERSION_CODE(1, 0, 0);
  vanished = 0;
  return SANE_STATUS_GOOD;
}
void sane_exit(void) {}
SANE_Status sane_get_devices(const SANE_Device*** list, SANE_Bool local) {
  (void)local;
  atomic_fetch_add(&searches, 1);
  const char* search = getenv("FAKE_SANE_SEARCH_MS");
  if (search && *search) {
    const long ms = atol(search);
    struct timespec pause = {ms / 1000, (ms % 1000) * 1000 * 1000};
    nanosleep(&pause, NULL);
  }
  *list = vanished ? slowOnly : both;
  return SANE_STATUS_GOOD;
}
SANE_Status sane_open(SANE_String_Const name, SANE_Handle* handle) {
  if (strcmp(name, slow.name) == 0 || strcmp(name, piped.name) == 0) {
    *handle = strcmp(name, slow.name) == 0 ? &slow : &piped;
    return SANE_STATUS_GOOD;
  }
  if (vanished || strcmp(name, vanishing.name) != 0) return SANE_STATUS_INVAL;
  *handle = &vanishing;
  return SANE_STATUS_GOOD;
}
void sane_close(SANE_Handle handle) { (void)handle; }
const SANE_Option_Descriptor* sane_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
  (void)handle;
  return option == 0 ? &count : NULL;
}
SANE_Status sane_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value, SANE_Int* info) {
  (void)handle;
  (void)info;
  if (option != 0 || action != SANE_ACTION_GET_VALUE) return SANE_STATUS_INVAL;
  *(SANE_Word*)value = 1;
  return SANE_STATUS_GOOD;
}
SANE_Status sane_get_parameters(SANE_Handle handle, SANE_Parameters* p) {
  p->format = SANE_FRAME_GRAY;
  p->last_frame = SANE_TRUE;
  p->bytes_per_line = kWidth;
  p->pixels_per_line = kWidth;
  p->lines = handle == &piped ? kPipedLines : kLines;
  p->depth = 8;
  return SANE_STATUS_GOOD;
}
SANE_Status sane_start(SANE_Handle handle) {
  if (handle == &vanishing && vanished) return SANE_STATUS_IO_ERROR;
  delivered = 0;
  atomic_store(&cancelled, 0);
  if (handle == &piped) {
    if (writing || pipe(pipeEnds) != 0) return SANE_STATUS_DEVICE_BUSY;
    if (pthread_create(&writer, NULL, WritePage, NULL) != 0) {
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      return SANE_STATUS_NO_MEM;
    }
    writing = 1;
  }
  return SANE_STATUS_GOOD;
}
SANE_Status sane_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max, SANE_Int* length) {
  *length = 0;
  if (atomic_load(&cancelled)) return SANE_STATUS_CANCELLED;
  int n = kWidth;
  if (handle == &piped) {
    if (!writing || delivered >= kWidth * kPipedLines) return SANE_STATUS_EOF;
    if (!getenv("FAKE_SANE_FAST")) {
      struct timespec pause = {0, 5 * 1000 * 1000};
      nanosleep(&pause, NULL);
    }
    if (n > max) n = max;
    const ssize_t got = read(pipeEnds[0], data, (size_t)n);
    if (got <= 0) return SANE_STATUS_IO_ERROR;
    delivered += (int)got;
    *length = (SANE_Int)got;
    return SANE_STATUS_GOOD;
  }
  if (handle == &vanishing) {
    if (delivered >= kPage / 2) {
      vanished = 1;
      return SANE_STATUS_IO_ERROR;
    }
  } else {
    struct timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, NULL);
    if (atomic_load(&cancelled)) return SANE_STATUS_CANCELLED;
    if (delivered >= kPage) return SANE_STATUS_EOF;
  }
  if (n > max) n = max;
  memset(data, 0x80, (size_t)n);
  delivered += n;
  *length = n;
  return SANE_STATUS_GOOD;
}
void sane_cancel(SANE_Handle handle) {
  atomic_store(&cancelled, 1);
  if (handle != &piped || !writing) return;
  struct sigaction ignore, old;
  memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  close(pipeEnds[0]);
  struct timespec pause = {0, 100 * 1000 * 1000};
  nanosleep(&pause, NULL);
  pthread_cancel(writer);
  pthread_join(writer, NULL);
  close(pipeEnds[1]);
  sigaction(SIGPIPE, &old, NULL);
  writing = 0;
}
SANE_Status sane_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking) {
  (void)handle;
  return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}
SANE_String_Const sane_strstatus(SANE_Status status) {
  return status == SANE_STATUS_IO_ERROR ? "Error during device I/O" : "status";
}
