// The names of the weights formats, as --weights-format takes them and the
// outputs show them.

#include "report/formats/weights.hpp"

namespace report {

bool weights_format_of(const std::string &name, WeightsFormat &format) {
  for (auto f : {WeightsFormat::Auto, WeightsFormat::Plain, WeightsFormat::Map, WeightsFormat::Hist,
                 WeightsFormat::Json})
    if (name == weights_format_name(f)) {
      format = f;
      return true;
    }
  return false;
}

const char *weights_format_name(WeightsFormat f) {
  switch (f) {
  case WeightsFormat::Plain:
    return "plain";
  case WeightsFormat::Map:
    return "map";
  case WeightsFormat::Hist:
    return "hist";
  case WeightsFormat::Json:
    return "json";
  default:
    return "auto";
  }
}

} // namespace report
