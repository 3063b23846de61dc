#pragma once
// splitmix64: a tiny pseudo-random stream that is the same on every compiler
// and library, so that a seed always gives the same lengths, orders,
// shuffles and resamples, in the engine and in the report alike.

#include <cstdint>

namespace batch {

inline uint64_t next_random(uint64_t &state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

} // namespace batch
