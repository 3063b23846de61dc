#pragma once
// Pieces of the JSON that more than one file writes. For render/ alone, and
// only where the build has nlohmann-json.

#include "report/formats/capture.hpp"
#include "report/formats/sets.hpp"
#include "report/render/pieces.hpp"
#include "report/stats/per_run.hpp"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace report {

// JSON strings must be UTF-8: see json_parts.cpp.
std::string utf8(const std::string &s);
std::vector<std::string> utf8(const std::vector<std::string> &v);

// A set's record, environment and runs, as the context lists each set.
nlohmann::ordered_json context_of(const Set &set);
// A set's C library as its record has it: path, version, build_id, and the
// loader and library_path where it ran through one of its own.
nlohmann::ordered_json libc_json(const LibcRecord &l);

// One benchmark entry, in the fields and order Google Benchmark writes.
nlohmann::ordered_json entry(const std::string &name, const std::string &run_name, size_t family,
                             size_t repetitions);

// A value dumped as it would sit at `depth` inside the whole document.
std::string nested(const nlohmann::ordered_json &j, int depth);

// A range, band or weighted estimate, as the text gives it (estimate_text):
// where fills hide, whose readings they hide in and no ratio; where a
// difference shows past the hidden side's floor, its one-sided bound.
nlohmann::ordered_json estimate_json(size_t from, size_t to, const Decision &d, Hidden where,
                                     const Sides &sides, const Estimate &e);

// A capture's own lines, and what a comparison means per run of it.
nlohmann::ordered_json capture_json(const Capture &c);
nlohmann::ordered_json per_run_json(const PerRun &p);

} // namespace report
