/* A memset-heavy program of the project's own, for bench/program.sh: fills
 * of a few hundred bytes among other work (a checksum over what was
 * filled), so that a faster memset shows in its run time, diluted as in a
 * real program. Build with -fno-builtin so that every fill calls memset.
 * Usage: memset_heavy [CALLS] (default 2000000). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
  long calls = argc > 1 ? atol(argv[1]) : 2000000;
  static unsigned char buf[4096];
  unsigned long sum = 0, x = 88172645463325252UL;
  for (long i = 0; i < calls; i++) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17; /* xorshift: the lengths */
    size_t len = 200 + (size_t)(x % 400);
    memset(buf + (x >> 20) % 64, (int)i, len);
    for (int k = 0; k < 8; k++) /* other work: read some of it back */
      sum += buf[(x >> (k * 5)) % len] * (unsigned long)k;
  }
  printf("%lu\n", sum);
  return 0;
}
