// A command with known calls of memset, for the capture tests: in two
// threads, a forked child that exits, a forked child killed by SIGKILL
// after its calls, __memset_chk, a length above the sweep, and an exec of a
// second program (argv[1]). Each source calls at a length of its own, so
// that every count can be checked. Links the C library alone: no runtime
// of ours calls memset behind the counts' back.
//   fixture TARGET          the calls above; exit 0
//   fixture TARGET fail     the same, then exit 3
//   fixture TARGET serve    a few calls, then waits to be stopped
//   fixture TARGET spin     a few calls, then busy until stopped
//   fixture TARGET many     one call in each of 300 threads, more threads
//                           than the capture has rows for
//   fixture TARGET landing  calls at known offsets from a line: 13 of 100
//                           bytes at a line's start, then 7 at 16 past it
//                           (on the line just filled), then 5 of 1000
//                           bytes 33 past a line 8 KiB further on
//   fixture TARGET pages N   100 bytes at the start of each of N pages of a
//                           fresh region, each page twice

#include <pthread.h>
#include <signal.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" void *__memset_chk(void *s, int c, size_t n, size_t room);

namespace {

char g_buffer[70000];
alignas(64) char g_lines[16384];

// As calls(), at `dest`.
void calls_at(char *dest, size_t length, int times) {
  volatile size_t n = length;
  for (int i = 0; i < times; i++)
    memset(dest, i, n);
}

// Through the PLT, with a length the compiler cannot see.
void calls(size_t length, int times) {
  volatile size_t n = length;
  for (int i = 0; i < times; i++)
    memset(g_buffer, i, n);
}

void *thread_a(void *) {
  calls(200, 7);
  return nullptr;
}

void *thread_b(void *) {
  calls(300, 11);
  return nullptr;
}

void *one_call(void *) {
  calls(700, 1);
  return nullptr;
}

void wait_child(pid_t pid) {
  int status;
  while (waitpid(pid, &status, 0) < 0) {
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  if (argc > 2 && strcmp(argv[2], "serve") == 0) {
    calls(900, 5);
    for (;;)
      pause();
  }
  if (argc > 2 && strcmp(argv[2], "spin") == 0) {
    calls(900, 5);
    for (volatile unsigned long i = 0;; i++) {
    }
  }
  if (argc > 2 && strcmp(argv[2], "landing") == 0) {
    calls_at(g_lines, 100, 13);
    calls_at(g_lines + 16, 100, 7);
    calls_at(g_lines + 8192 + 33, 1000, 5);
    return 0;
  }
  if (argc > 3 && strcmp(argv[2], "pages") == 0) {
    const size_t pages = strtoul(argv[3], nullptr, 10);
    char *region = static_cast<char *>(aligned_alloc(4096, pages * 4096));
    for (int twice = 0; twice < 2; twice++)
      for (size_t p = 0; p < pages; p++)
        calls_at(region + p * 4096, 100, 1);
    free(region);
    return 0;
  }
  if (argc > 2 && strcmp(argv[2], "many") == 0) {
    for (int i = 0; i < 300; i++) {
      pthread_t t;
      pthread_create(&t, nullptr, one_call, nullptr);
      pthread_join(t, nullptr);
    }
    return 0;
  }
  calls(100, 3);
  pthread_t a, b;
  pthread_create(&a, nullptr, thread_a, nullptr);
  pthread_create(&b, nullptr, thread_b, nullptr);
  pthread_join(a, nullptr);
  pthread_join(b, nullptr);

  pid_t child = fork();
  if (child == 0) {
    calls(400, 13);
    _exit(0);
  }
  wait_child(child);

  int ready[2];
  if (pipe(ready) != 0)
    return 2;
  pid_t doomed = fork();
  if (doomed == 0) {
    calls(500, 17);
    char done = 1;
    if (write(ready[1], &done, 1) != 1)
      _exit(2);
    for (;;)
      pause();
  }
  char done;
  if (read(ready[0], &done, 1) != 1)
    return 2;
  kill(doomed, SIGKILL);
  wait_child(doomed);

  volatile size_t chk = 600;
  for (int i = 0; i < 19; i++)
    __memset_chk(g_buffer, 0, chk, sizeof g_buffer);
  calls(65536, 2);

  pid_t exec_child = fork();
  if (exec_child == 0) {
    execl(argv[1], argv[1], (char *)nullptr);
    _exit(127);
  }
  wait_child(exec_child);
  return argc > 2 && strcmp(argv[2], "fail") == 0 ? 3 : 0;
}
