#pragma once
// Pieces of the JSON that more than one file writes. For render/ alone, and
// only where the build has nlohmann-json.

#include "report/formats/capture.hpp"
#include "report/stats/per_run.hpp"

#include <nlohmann/json.hpp>
#include <string>

namespace report {

// JSON strings must be UTF-8: see json_parts.cpp.
std::string utf8(const std::string &s);

// A capture's own lines, and what a comparison means per run of it.
nlohmann::ordered_json capture_json(const Capture &c);
nlohmann::ordered_json per_run_json(const PerRun &p);

} // namespace report
