/* A program that does little but call memset: N calls (default 20 million)
   at lengths 8..256 bytes, the worst case for the cost of counting each call.
   Built by bench/capture_overhead.sh. */
#include <stdlib.h>
#include <string.h>

static char buffer[512];

int main(int argc, char **argv) {
  long n = argc > 1 ? atol(argv[1]) : 20000000;
  volatile size_t length = 8;
  for (long i = 0; i < n; i++) {
    memset(buffer, (int)i, length);
    length = 8 + (size_t)(i * 40503) % 249;
  }
  return buffer[7] == 42;
}
