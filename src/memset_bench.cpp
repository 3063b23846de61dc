// memset-bench PATH
//
// Times one call of the C library's memset for every fill length from 1 to
// 32768 bytes, in raw time-stamp-counter ticks, and writes the mean of 8 calls
// per length to PATH: one unsigned decimal per line, the k-th line for a fill
// of k bytes, no line feed after the last value.
//
// Silent on success (status 0). A wrong argument count ends the run with
// status 1 and no output at all. If the result file cannot be opened, written
// or closed, or the work buffers cannot be had, the run says so on one line of
// standard error and ends with status 2, so a failed run never looks like a
// complete one.
//
// What is measured depends on how this file is built (see CMakeLists.txt):
// memset must stay a real library call, rdtsc must stay out of line, and the
// library must be bound lazily, at the first call.

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// One unfenced counter reading. Kept out of line on purpose: the return from
// the first reading and the call into the second belong to every interval.
// The asm is volatile so that no two readings are merged or moved across the
// fill they bracket.
__attribute__((noinline)) static uint64_t rdtsc() {
  uint32_t lo, hi;
  __asm__ __volatile__("rdtsc" : "=a"(lo), "=d"(hi));
  return (uint64_t)hi << 32 | (uint64_t)lo;
}

// Writes both buffers through with pseudo-random bytes from one 64-bit
// linear congruential stream, alternately src then dest, so that the pages
// are touched and the fills do not start on fresh, zeroed memory. Single
// byte stores only: the first memset of the run must be the first timed one.
static void seed_buffers(uint64_t rseed, unsigned char *dest, unsigned char *src, size_t max_size) {
  for (uint32_t num2 = 0; num2 < max_size; num2++) {
    rseed = rseed * 41943011u - 2147483647u;
    src[num2] = (unsigned char)(rseed >> 32);
    rseed = rseed * 41943011u - 2147483647u;
    dest[num2] = (unsigned char)(rseed >> 32);
  }
}

// Reports a failure that would otherwise leave a missing or truncated result
// file behind a status of 0. errno must be the one of the failed call.
static int fail(const char *what, const char *path) {
  int err = errno;
  if (path)
    std::fprintf(stderr, "memset-bench: %s '%s': %s\n", what, path, std::strerror(err));
  else
    std::fprintf(stderr, "memset-bench: %s: %s\n", what, std::strerror(err));
  return 2;
}

int main(int argc, char **argv) {
  size_t max_size = 0x8000;
  // The seed is read before anything else, the command line included.
  uint64_t rseed = rdtsc();
  // Read afresh for every length, so that the repetition count really is
  // computed (with libm's ceil) before each length, not once for the run.
  volatile double tmp1 = 262144.0;

  if (argc != 2)
    std::exit(1);

  const char *path = argv[1];
  FILE *out = std::fopen(path, "w");
  if (!out)
    return fail("cannot write results to", path);

  unsigned char *dest = (unsigned char *)std::malloc(max_size);
  unsigned char *src = (unsigned char *)std::malloc(max_size);
  if (!dest || !src) {
    int status = fail("cannot allocate work buffers", nullptr);
    std::free(dest);
    std::free(src);
    std::fclose(out);
    return status;
  }

  seed_buffers(rseed, dest, src, max_size);

  for (size_t size = 1; size < max_size + 1; size++) {
    uint64_t total = 0;
    // The divisor is the buffer size, not the fill length: 8 fills for every
    // length.
    uint32_t reruns = (uint32_t)std::ceil(tmp1 / max_size);
    for (uint32_t num1 = 0; num1 < reruns; num1++) {
      uint64_t clocks1 = rdtsc();
      std::memset(dest, (int)num1, size);
      uint64_t clocks2 = rdtsc();
      // Taken as it comes: a backwards step wraps and stays in the sum.
      total = total + (clocks2 - clocks1);
    }
    total = total / reruns;

    // Writes only fail here once the stream buffer is flushed; stop at the
    // first one rather than sweep on into a file that is already lost.
    if (std::fprintf(out, "%lu", total) < 0 || (size != max_size && std::fputc('\n', out) == EOF)) {
      int status = fail("cannot write results to", path);
      std::free(dest);
      std::free(src);
      std::fclose(out);
      return status;
    }
  }

  std::free(dest);
  std::free(src);
  if (std::fclose(out) != 0)
    return fail("cannot write results to", path);
  return 0;
}
