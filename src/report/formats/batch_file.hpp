#pragma once
// The result file of memset-batch (src/batch/batch_format.hpp owns its
// layout), read strictly and within bounds. Its values, ticks per call with
// three decimals, are held exactly, in thousandths of a tick.

#include "report/formats/landing.hpp"
#include "report/formats/result_file.hpp"

#include <cstdint>
#include <string>

namespace report {

// memset-batch's values are in thousandths of a tick: a set of them divides
// by this (Set::scale) wherever it speaks of ticks.
constexpr double kBatchScale = 1000;

struct BatchHeader {
  bool random = false; // lengths drawn at random within each band
  uint64_t seed = 0;
  uint64_t resolution = 1;  // ticks: the counter's step, as the engine measured it
  uint64_t read_cost = 0;   // thousandths of a tick: a fenced pair, taken off every batch
  uint64_t loop = 0;        // thousandths of a tick: a call of an empty function in the loop
  uint64_t batch_ticks = 0; // ticks a batch spans at least
  bool replay = false;      // one value: a program's mix of lengths
  Landing landing;          // where the fills landed (the default in a first-version file)
  // Where they were not placed: bytes the buffer started past a line;
  // none in files from before it was recorded. Runs of one set may differ.
  std::optional<int> buffer;
  bool operator==(const BatchHeader &o) const;
};

struct BatchRun {
  BatchHeader header;
  RunValues values; // per length (a replay: its one figure), thousandths of a tick
};

// Whether `text` starts as a memset-batch file does: its mark.
bool is_batch_text(const std::string &text);

// Parses one file strictly: the mark (of either version; the second adds
// the landing's keys after the first's), each header line once in its order,
// then exactly kLengths values (one, of a replay) of digits, a point and
// three digits, each on its own line. Throws InputError naming `name` and the line.
BatchRun parse_batch(const std::string &text, const std::string &name);

// The text memset-batch writes for `r`: what a file read back must be,
// byte for byte (the reader takes one spelling of each value only). The
// engine writes its files itself; this is the reader's other half, which
// the round-trip tests and the fuzz target hold it to.
std::string batch_text(const BatchRun &r);

// The most a file can hold: the header and kLengths values of up to 15
// digits before the point.
constexpr size_t kMaxBatchBytes = 1024 + kLengths * 20;

} // namespace report
