/* A memset with a small planted cost, for bench/near_threshold.sh:
 * preloaded, it fills with the C library's own memset and, from 4 KiB up,
 * fills n / DIVISOR bytes more (nothing more when DIVISOR is 0), a cost of
 * 1.6% where the second fill is all extra work. Both builds run the same
 * wrapper, so only the planted fill differs. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>

#ifndef DIVISOR
#define DIVISOR 64
#endif

static void *(*real_memset)(void *, int, size_t);

void *memset(void *s, int c, size_t n) {
  if (!real_memset) {
    /* dlsym may itself clear memory: fill by hand until it answers. */
    static int resolving;
    if (resolving) {
      for (size_t i = 0; i < n; i++)
        ((volatile unsigned char *)s)[i] = (unsigned char)c;
      return s;
    }
    resolving = 1;
    real_memset = (void *(*)(void *, int, size_t))dlsym(RTLD_NEXT, "memset");
    resolving = 0;
  }
  real_memset(s, c, n);
  if (DIVISOR && n >= 4096)
    real_memset(s, c, n / (DIVISOR ? DIVISOR : 1));
  return s;
}
