#pragma once
// The counts of a capture, as memset-report and the library it preloads into
// the captured command share them: one file mapping that every process of
// the command's tree adds into as it calls, so that what was counted
// survives fork, exec, threads and every way a process ends. Plain integers,
// with atomic builtins: the preloaded library links no C++ runtime.
//
// A thread takes a row of counts of its own at its first call, and adds to
// it without a locked instruction: that keeps the cost of a call within a
// few nanoseconds. Threads beyond the rows, and lengths above kMaxExact,
// add atomically into the shared counts. The file is sparse: rows never
// taken cost no memory.

#include <cstdint>

namespace capture_layout {

// The environment variable that names the mapping's file to the library.
constexpr const char *kCountsVariable = "MEMSET_CAPTURE_COUNTS";
constexpr uint64_t kMagic = 0x31437465736d656dULL; // "memsetC1" in memory

// Lengths 0..kMaxExact are counted one by one; each longer length takes a
// slot of its own while slots last, and after that only adds to `unkept`.
constexpr uint64_t kMaxExact = 32768;
constexpr uint64_t kLongSlots = 4096;
constexpr uint64_t kRows = 256;

struct LongSlot {
  uint64_t length; // 0: free
  uint64_t calls;
};

struct Counts {
  uint64_t magic;
  uint64_t processes;  // processes that called memset at all
  uint64_t unkept;     // calls above kMaxExact once every slot was taken
  uint64_t rows_taken; // may run past kRows: those threads use `exact`
  uint64_t exact[kMaxExact + 1];
  LongSlot longer[kLongSlots];
  uint64_t rows[kRows][kMaxExact + 1]; // each written by one thread alone
};

} // namespace capture_layout
