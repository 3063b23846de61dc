/* A program whose true ratio is known, for bench/known_ratio.sh: it burns
 * CPU for a set amount of work, times 1 + KNOWN_EXTRA (say 0.02) under the
 * variant that sets it, and times a random factor of its own, so that a
 * campaign's runs spread as a noisy machine's do:
 *   KNOWN_NOISE  spread of a run (lognormal, as a share; default 0.05)
 *   KNOWN_SPELL  share of time in slow spells, which change every
 *                KNOWN_SPELL_SECONDS (default 3) of the wall clock, so that
 *                neighbouring rounds share them, and slow every run in them
 *                by 1.3 (default 0)
 *   KNOWN_SPELL_EXTRA  the extra work in a spell (default KNOWN_EXTRA): a
 *                machine state that changes the ratio itself
 * Every variant draws from the same distributions, so the ratio of any
 * statistic of B's runs over A's is 1 + KNOWN_EXTRA (out of spells, which
 * the low statistic reads where a campaign met them): intervals can be
 * checked against the truth, not only against a repeat.
 * Usage: known_ratio [WORK] (default 20000000, about 20 ms). */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double env(const char *name, double otherwise) {
  const char *v = getenv(name);
  return v && *v ? atof(v) : otherwise;
}

static unsigned long long mix(unsigned long long z) {
  z += 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

static double uniform(unsigned long long *s) {
  *s = mix(*s);
  return ((double)(*s >> 11) + 0.5) / 9007199254740992.0;
}

int main(int argc, char **argv) {
  double work = argc > 1 ? atof(argv[1]) : 2e7;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned long long s =
      mix((unsigned long long)now.tv_nsec ^ ((unsigned long long)getpid() << 32));
  double u1 = uniform(&s), u2 = uniform(&s);
  double normal = sqrt(-2 * log(u1)) * cos(6.283185307179586 * u2);
  double extra = env("KNOWN_EXTRA", 0), noise = exp(env("KNOWN_NOISE", 0.05) * normal);
  double seconds = env("KNOWN_SPELL_SECONDS", 3);
  unsigned long long spell =
      mix((unsigned long long)(((double)now.tv_sec + now.tv_nsec / 1e9) / seconds));
  double factor = noise * (1 + extra);
  if ((double)(spell >> 11) / 9007199254740992.0 < env("KNOWN_SPELL", 0))
    factor = noise * 1.3 * (1 + env("KNOWN_SPELL_EXTRA", extra));
  volatile unsigned long long x = 1;
  for (long i = 0, n = (long)(work * factor); i < n; i++)
    x = x * 6364136223846793005ULL + 1;
  return 0;
}
