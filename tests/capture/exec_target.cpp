// The program the capture fixture executes: calls of its own, in a process
// image of its own.

#include <stddef.h>
#include <string.h>

static char g_buffer[64];

int main() {
  volatile size_t n = 40;
  for (int i = 0; i < 23; i++)
    memset(g_buffer, i, n);
  volatile size_t none = 0;
  memset(g_buffer, 0, none);
  return 0;
}
