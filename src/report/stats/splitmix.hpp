#pragma once
// The report's random stream: the engine's own (batch/splitmix.hpp).

#include "batch/splitmix.hpp"

namespace report {
using batch::next_random;
} // namespace report
