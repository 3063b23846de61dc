#pragma once
// Where a batched run's fills land: the offset from a 64-byte line and the
// region they walk. The one owner of how it is written in a run file's
// header, in the record and in words; memset-batch's file layout is
// src/batch/batch_format.hpp's.

#include <cstdint>
#include <optional>
#include <string>

namespace report {

// The level of a replay's footprint sized by its capture: the memory the
// program's fills covered.
constexpr const char *kLevelCapture = "capture";

struct Landing {
  // Bytes past a 64-byte line (0..63); kAlignRandom: drawn per call;
  // kAlignBuffer: where the benchmark's buffer starts (malloc's choice).
  // kAlignCapture: a replay's, offsets and cold calls as its capture found them.
  static constexpr int kAlignBuffer = -1, kAlignRandom = 64, kAlignCapture = 65;
  int align = kAlignBuffer;
  uint64_t footprint = 0; // bytes the fills walk; 0: every fill in one place
  // The cache level the footprint stands for ("L1"), kLevelCapture, or ""
  // for bytes given.
  std::string level;

  // Asked for at all: the default is where the fills always landed.
  bool placed() const { return align != kAlignBuffer || footprint != 0; }
  // The same place; the level is a name for the bytes.
  bool operator==(const Landing &o) const { return align == o.align && footprint == o.footprint; }
  bool operator!=(const Landing &o) const { return !(*this == o); }
};

// "16", "random", as the run file and the record write them ("buffer" for
// the default, which neither writes).
std::string align_word(int align);
std::optional<int> align_of(const std::string &word);

// In words: "at the start of one 32 KiB buffer, hot (the default)", or
// "16 bytes past a 64-byte line, walking 32768 bytes (L1)", "at random
// offsets from a line, in one place".
// Where the fills were not placed, `buffer` (where a run file says it)
// adds how far past a line malloc put the buffer.
std::string landing_text(const Landing &l, std::optional<int> buffer = std::nullopt);

} // namespace report
