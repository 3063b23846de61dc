/* A memset with a planted cost, for bench/planted.sh: preloaded, it fills
 * with the C library's own memset and, from 1 KiB up, fills the same bytes
 * a second time. Below 1 KiB nothing changes. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stddef.h>

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
  if (n >= 1024)
    real_memset(s, c, n);
  return s;
}
