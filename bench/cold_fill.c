/* A program whose fills land cold and unaligned, for bench/landing_program.sh:
 * fills of 256 to 2047 bytes at 16, 32 or 48 bytes past a 64-byte step of
 * the region (which starts where malloc puts it: 16 bytes past a line here,
 * so the fills land 0, 32 or 48 past a line), each at a random place in a
 * 256 MiB region (far beyond any cache here), with a read
 * of each fill back as its other work. Build with -fno-builtin so that every
 * fill calls memset. Usage: cold_fill [CALLS] (default 300000). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv) {
  long calls = argc > 1 ? atol(argv[1]) : 300000;
  const size_t region = (size_t)256 << 20, lines = region / 64 - 64;
  unsigned char *m = malloc(region);
  if (!m)
    return 1;
  memset(m, 0, region); /* every page mapped before the fills */
  unsigned long sum = 0, x = 88172645463325252UL;
  for (long i = 0; i < calls; i++) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    size_t at = (x % lines) * 64 + 16 * (1 + (x >> 40) % 3);
    size_t len = 256 + (x >> 48) % 1792;
    memset(m + at, (int)i, len);
    sum += m[at + len / 2];
  }
  printf("%lu\n", sum);
  free(m);
  return 0;
}
