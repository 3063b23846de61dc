#pragma once
// The classes of fill lengths that a capture counts where fills land by,
// a replay's mix carries and memset-report reads: the one owner of what a
// class is. A class is the lengths of one bit width: 0 for 0, 1 for 1, 2 for
// 2..3, ... 16 for 32768 and longer. Header-only and free of the C++
// library, so that the capture library, which links the C library alone,
// takes it too.

#include <cstdint>

namespace length_classes {

// Classes, and the offsets within a 64-byte line each counts its fills at.
constexpr unsigned kClasses = 17, kLine = 64;

inline unsigned length_class(uint64_t n) {
  const unsigned width = n ? 64 - (unsigned)__builtin_clzll(n) : 0;
  return width < kClasses - 1 ? width : kClasses - 1;
}

} // namespace length_classes
