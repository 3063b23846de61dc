#pragma once
// The result file of memset-batch, as the engine writes it and memset-report
// reads it: the one owner of its layout. The mark with the format's version,
// then one "# KEY: VALUE" line for each key below in this order, then one
// value per fill length from 1 to 32768 (one value, for the whole mix, of a
// replay), in ticks per call with exactly kDecimals decimals; every line
// ends in a line feed.
//
//   # memset-batch 1
//   # lengths: fixed          fixed; random: each band's lengths drawn at random;
//                             replay: a program's mix of lengths (mix_format.hpp)
//   # seed: 0                 of the random lengths or the replay's order (0 with fixed ones)
//   # resolution: 26          the counter's step, ticks, rounded up to a whole one
//   # read_cost: 41.000       a fenced pair of readings, taken off every batch
//   # loop: 2.125             a call of an empty function in the same loop
//   # batch: 26000            ticks a batch spans at least
//   12.345                    length 1, ...
//
// Where the fills land was asked for (--align, --footprint), the mark is
// kMarkPlaced and two keys follow the batch:
//
//   # memset-batch 2
//   ...
//   # align: 16               bytes past a 64-byte line; random: drawn per call
//                             (seeded); capture: a replay's, as its mix says
//                             they landed (its cold calls at random lines of
//                             the footprint)
//   # footprint: 16384        bytes of the region the fills walk; 0: one place
//
// A run whose fills were not placed (the default: at the start of its one
// buffer) has the mark kMarkBuffer and one key after the batch: where
// malloc put the buffer's start, since that offset moves the cost of a fill
// as --align does (16 past a line in memset-batch here, 32 in a small C
// program, on the same machine):
//
//   # memset-batch 3
//   ...
//   # buffer: 16              bytes the buffer starts past a 64-byte line
//
// Files of the first mark (written before the buffer was recorded) are read
// as they always were: where their buffer lay is not known.

#include <cstddef>

namespace batch_format {

constexpr const char *kMark = "# memset-batch 1";
constexpr const char *kMarkPlaced = "# memset-batch 2";
constexpr const char *kMarkBuffer = "# memset-batch 3";
constexpr const char *kBufferKey = "buffer";
enum Key { kLengthsKey, kSeed, kResolution, kReadCost, kLoop, kBatch, kKeys };
constexpr const char *kKeyNames[kKeys] = {"lengths",   "seed", "resolution",
                                          "read_cost", "loop", "batch"};
enum PlacedKey { kAlign, kFootprint, kPlacedKeys };
constexpr const char *kPlacedKeyNames[kPlacedKeys] = {"align", "footprint"};
constexpr const char *kAlignRandom = "random", *kAlignCapture = "capture";
// A line of the cache, and the offsets from its start a fill can be asked to take.
constexpr unsigned kLine = 64;
// The largest region a batch walks: a terabyte is beyond any machine here,
// and bounds what a wrong value asks of malloc.
constexpr unsigned long long kMaxFootprint = 1ull << 40;
constexpr const char *kFixed = "fixed", *kRandom = "random", *kReplay = "replay";
constexpr int kDecimals = 3;
constexpr size_t kLengths = 32768;

// A batch spans at least this many steps of the counter, so that reading it
// costs a thousandth of a step per call at most; and its calls are within
// these bounds: a few calls would weigh the loop's entry, and more than the
// most would take a batch past a millisecond.
constexpr unsigned kStepsPerBatch = 1000;
constexpr unsigned kMinCalls = 16, kMaxCalls = 1u << 16;

} // namespace batch_format
