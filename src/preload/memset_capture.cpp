// libcapture-memset.so, which 'memset-report capture' preloads into the
// command it captures: every call of memset and __memset_chk adds one to its
// length's count in the mapping the tool made, and then goes to the C
// library's own memset. The library links the C library alone, and nothing
// here may call memset: it would count itself.

#include "preload/capture_layout.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <stddef.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace capture_layout;

extern "C" [[noreturn]] void __chk_fail(void);

namespace {

using MemsetFn = void *(*)(void *, int, size_t);

MemsetFn g_real = nullptr;
Counts *g_counts = nullptr;
int g_state = 0;        // 0: not set up; 1: being set up; 2: set up
bool g_counted = false; // this process is among `processes`
// The lookup of the real memset may itself fill memory.
__thread bool t_looking_up __attribute__((tls_model("initial-exec"))) = false;
// This thread's own row of counts; `exact` once the rows have run out.
__thread uint64_t *t_row __attribute__((tls_model("initial-exec"))) = nullptr;
__thread Landings *t_landings __attribute__((tls_model("initial-exec"))) = nullptr;
// The lines the thread's last kRecent fills touched, first and last, in a ring.
__thread uintptr_t t_first[kRecent] __attribute__((tls_model("initial-exec")));
__thread uintptr_t t_last[kRecent] __attribute__((tls_model("initial-exec")));
__thread unsigned t_next __attribute__((tls_model("initial-exec"))) = 0;
// The page the thread marked last (0: none yet; page 0 is never mapped).
__thread uintptr_t t_page __attribute__((tls_model("initial-exec"))) = 0;

// Only while the real memset is not known yet: byte by byte, and volatile
// so that no compiler turns it back into a call of memset.
void *fill_bytes(void *s, int c, size_t n) {
  volatile unsigned char *p = static_cast<volatile unsigned char *>(s);
  for (size_t i = 0; i < n; i++)
    p[i] = static_cast<unsigned char>(c);
  return s;
}

// A forked child is a process of its own: it counts itself at its first
// call, into a row of its own (its parent's thread goes on with the one it
// had).
void after_fork_in_child() {
  __atomic_store_n(&g_counted, false, __ATOMIC_RELAXED);
  t_row = nullptr;
  t_landings = nullptr;
  t_page = 0;
}

// A row of this thread's own; the shared counts once the rows have run out.
void take_row(Counts *c) {
  uint64_t row = __atomic_fetch_add(&c->rows_taken, 1, __ATOMIC_RELAXED);
  t_row = row < kRows ? c->rows[row] : c->exact;
  t_landings = row < kRows ? &c->landing_rows[row] : &c->landings;
}

// Adds one to a count of this thread's row, or atomically to a shared one.
inline void add(uint64_t &n, bool shared) {
  if (shared)
    __atomic_fetch_add(&n, 1, __ATOMIC_RELAXED);
  else // this thread's alone: a plain add, but a real store every call
    __atomic_store_n(&n, __atomic_load_n(&n, __ATOMIC_RELAXED) + 1, __ATOMIC_RELAXED);
}

// The pages a fill covers, marked; a bit already set costs a load alone,
// and a fill within the page the thread's last one began on costs nothing.
void mark_pages(Counts *c, uintptr_t from, uintptr_t to) {
  if (from == to && from == t_page)
    return;
  t_page = from;
  const uintptr_t last = from + kMarkPages - 1 < to ? from + kMarkPages - 1 : to;
  for (uintptr_t page = from; page <= last; page++) {
    const uint64_t bit = page_bit(page), mask = (uint64_t)1 << (bit % 64);
    uint64_t &word = c->pages[bit / 64];
    if (!(__atomic_load_n(&word, __ATOMIC_RELAXED) & mask))
      __atomic_fetch_or(&word, mask, __ATOMIC_RELAXED);
  }
}

// Where this fill lands: its offset in a line, whether one of the thread's
// last fills touched its first line, and the pages it covers.
void count_landing(Counts *c, const void *s, size_t n) {
  const uintptr_t at = (uintptr_t)s, first = at / kLine, last = (at + (n ? n - 1 : 0)) / kLine;
  if (n)
    mark_pages(c, at >> kPageShift, (at + n - 1) >> kPageShift);
  bool recent = false;
  for (unsigned i = 0; i < kRecent; i++)
    recent |= t_first[i] <= first && first <= t_last[i];
  t_first[t_next] = first;
  t_last[t_next] = last;
  t_next = (t_next + 1) & (kRecent - 1);
  const bool shared = t_landings == &c->landings;
  const uint64_t k = length_class(n);
  add(t_landings->offsets[k][at % kLine], shared);
  if (recent)
    add(t_landings->recent[k], shared);
}

Counts *map_counts() {
  const char *path = getenv(kCountsVariable);
  if (!path)
    return nullptr;
  int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  void *m = mmap(nullptr, sizeof(Counts), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (m == MAP_FAILED)
    return nullptr;
  Counts *c = static_cast<Counts *>(m);
  if (__atomic_load_n(&c->magic, __ATOMIC_ACQUIRE) != kMagic) {
    munmap(m, sizeof(Counts));
    return nullptr;
  }
  return c;
}

void set_up() {
  int expected = 0;
  if (!__atomic_compare_exchange_n(&g_state, &expected, 1, false, __ATOMIC_ACQ_REL,
                                   __ATOMIC_ACQUIRE))
    return; // set up, or being set up by another thread: its calls go uncounted meanwhile
  t_looking_up = true;
  MemsetFn real = reinterpret_cast<MemsetFn>(dlsym(RTLD_NEXT, "memset"));
  t_looking_up = false;
  __atomic_store_n(&g_real, real, __ATOMIC_RELEASE);
  __atomic_store_n(&g_counts, map_counts(), __ATOMIC_RELEASE);
  pthread_atfork(nullptr, nullptr, after_fork_in_child);
  __atomic_store_n(&g_state, 2, __ATOMIC_RELEASE);
}

__attribute__((constructor)) void on_load() { set_up(); }

void count_long(Counts *c, uint64_t n) {
  uint64_t slot = (n * 0x9e3779b97f4a7c15ULL) >> 52; // 12 bits: kLongSlots
  for (uint64_t probe = 0; probe < kLongSlots; probe++) {
    LongSlot &s = c->longer[(slot + probe) % kLongSlots];
    uint64_t held = __atomic_load_n(&s.length, __ATOMIC_ACQUIRE);
    if (held == 0 &&
        __atomic_compare_exchange_n(&s.length, &held, n, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
      held = n;
    if (held == n) {
      __atomic_fetch_add(&s.calls, 1, __ATOMIC_RELAXED);
      return;
    }
  }
  __atomic_fetch_add(&c->unkept, 1, __ATOMIC_RELAXED);
}

void count(const void *s, size_t n) {
  if (__atomic_load_n(&g_state, __ATOMIC_ACQUIRE) != 2)
    set_up();
  Counts *c = __atomic_load_n(&g_counts, __ATOMIC_ACQUIRE);
  if (!c)
    return;
  if (!__atomic_load_n(&g_counted, __ATOMIC_RELAXED) &&
      !__atomic_exchange_n(&g_counted, true, __ATOMIC_RELAXED))
    __atomic_fetch_add(&c->processes, 1, __ATOMIC_RELAXED);
  if (!t_row)
    take_row(c);
  count_landing(c, s, n);
  if (n > kMaxExact)
    count_long(c, n);
  else
    add(t_row[n], t_row == c->exact);
}

void *counted_memset(void *s, int c, size_t n) {
  if (t_looking_up)
    return fill_bytes(s, c, n);
  count(s, n);
  MemsetFn real = __atomic_load_n(&g_real, __ATOMIC_ACQUIRE);
  return real ? real(s, c, n) : fill_bytes(s, c, n);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void *memset(void *s, int c, size_t n) {
  return counted_memset(s, c, n);
}

// What fortified builds call: the same check as the C library's, then the
// same count.
extern "C" __attribute__((visibility("default"))) void *__memset_chk(void *s, int c, size_t n,
                                                                     size_t room) {
  if (room < n)
    __chk_fail();
  return counted_memset(s, c, n);
}
