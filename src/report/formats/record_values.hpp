#pragma once
// How values are written in the campaign record: the record's own helpers,
// shared by its key table and the run-file names.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace report {

// Control characters and backslashes as \xNN and \\, so that no value can
// forge a line; and back.
std::string escaped(const std::string &v);
std::string unescaped(const std::string &v);

// "60 s", as in_seconds writes it; its number as parse_decimal takes it.
std::optional<double> seconds(const std::string &v);
std::string in_seconds(double v);
// A number as parse_decimal reads it back, to six decimals, no exponent.
std::string plain_decimal(double v);
// parse_whole, up to 2^32 - 1.
std::optional<unsigned> small_number(const std::string &s);
// "%.*f"
std::string fixed(double v, int decimals);

// "NAME REST" split at the first space.
std::pair<std::string, std::string> split_first(const std::string &s);

} // namespace report
