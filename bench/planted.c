/* A memset with a planted cost, for bench/planted.sh: preloaded, it fills
 * with the C library's own memset and, from FROM bytes up (1 KiB), fills
 * n / DIVISOR of the same bytes a second time (all of them; nothing where
 * DIVISOR is 0). Below FROM nothing changes. bench/near_threshold.sh builds
 * it with FROM 4096 and DIVISOR 64, and with DIVISOR 0 to compare with.
 * With UPTO, fills of UPTO bytes or less are made twice instead (an extra
 * call), and no other: bench/batch.sh builds it with UPTO 32, and with
 * UPTO 0 for the wrapper alone. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>

#ifndef FROM
#define FROM 1024
#endif
#ifndef DIVISOR
#define DIVISOR 1
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
#ifdef UPTO
  if (n <= UPTO)
    real_memset(s, c, n);
  return s;
#endif
  if (DIVISOR && n >= FROM)
    real_memset(s, c, n / (DIVISOR ? DIVISOR : 1));
  return s;
}
