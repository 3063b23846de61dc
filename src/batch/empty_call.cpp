// The function memset-batch calls in its loop in place of memset, to measure
// what the loop itself costs a call: in a library of its own, so that the
// call goes through the PLT as memset's does.

#include <cstddef>

extern "C" __attribute__((visibility("default"))) void memset_batch_empty(void *, int, size_t) {}
