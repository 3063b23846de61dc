// A static binary: the loader never runs, so no preload can see its calls.

#include <stddef.h>
#include <string.h>

static char g_buffer[64];

int main() {
  volatile size_t n = 40;
  for (int i = 0; i < 5; i++)
    memset(g_buffer, i, n);
  return 0;
}
