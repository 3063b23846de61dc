/* What a program's other work does to a memset's change, for
 * bench/overlap.sh: bench/memset_heavy.c's fills (200 to 599 bytes, 0 to 63
 * past a line, in a 4 KiB buffer), timed with, between each two fills,
 * nothing (as a replay times them), the program's own work (eight reads
 * back at divided positions), or a dependent chain of CHAIN multiplies.
 * Prints ticks per fill, the fastest of 31 passes of 65536 fills. Build
 * with -fno-builtin so that every fill calls memset.
 * Usage: overlap none|own|chain [CHAIN] (default 20). */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <x86intrin.h>

enum { kFills = 65536, kPasses = 31 };
static unsigned char buf[4096 + 64];
static size_t len[kFills], off[kFills];

int main(int argc, char **argv) {
  const char *work = argc > 1 ? argv[1] : "none";
  const long chain = argc > 2 ? atol(argv[2]) : 20;
  const int kind = !strcmp(work, "own") ? 1 : !strcmp(work, "chain") ? 2 : 0;
  unsigned long x = 88172645463325252UL, sum = 0, best = ~0UL;
  for (int i = 0; i < kFills; i++) { /* memset_heavy's own draw */
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    len[i] = 200 + x % 400;
    off[i] = (x >> 20) % 64;
  }
  for (int p = 0; p < kPasses; p++) {
    unsigned long t0 = __rdtsc();
    for (int i = 0; i < kFills; i++) {
      memset(buf + off[i], i, len[i]);
      if (kind == 1)
        for (int k = 0; k < 8; k++)
          sum += buf[(x >> (k * 5)) % len[i]] * (unsigned long)k;
      else if (kind == 2) {
        unsigned long y = (unsigned long)i;
        for (long k = 0; k < chain; k++)
          y = y * 6364136223846793005UL + 1;
        sum += y;
      }
    }
    unsigned long t = __rdtsc() - t0;
    if (t < best)
      best = t;
  }
  volatile unsigned long sink = sum; /* the work is done, not optimised away */
  (void)sink;
  printf("%.1f\n", (double)best / kFills);
  return 0;
}
