// Where a batched run's fills land, in words and in its file's spelling.

#include "report/formats/landing.hpp"

#include "batch/batch_format.hpp"
#include "report/sys/text.hpp"

namespace report {

std::string align_word(int align) {
  if (align == Landing::kAlignRandom)
    return batch_format::kAlignRandom;
  if (align == Landing::kAlignCapture)
    return batch_format::kAlignCapture;
  if (align == Landing::kAlignBuffer)
    return "buffer";
  return std::to_string(align);
}

std::optional<int> align_of(const std::string &word) {
  if (word == batch_format::kAlignRandom)
    return Landing::kAlignRandom;
  if (word == batch_format::kAlignCapture)
    return Landing::kAlignCapture;
  auto v = parse_whole(word);
  if (!v || *v >= batch_format::kLine || std::to_string(*v) != word)
    return std::nullopt;
  return (int)*v;
}

namespace {

// " (L2)", " (the memory the capture's fills covered)", or "" for bytes given.
std::string level_words(const std::string &level) {
  if (level.empty())
    return "";
  return " (" + (level == kLevelCapture ? "the memory the capture's fills covered" : level) + ")";
}

} // namespace

std::string landing_text(const Landing &l, std::optional<int> buffer) {
  if (!l.placed() && buffer)
    return "at the start of one 32 KiB buffer, " +
           (*buffer ? std::to_string(*buffer) + " bytes past" : std::string("at the start of")) +
           " a 64-byte line where malloc put it, hot (the default)";
  if (!l.placed())
    return "at the start of one 32 KiB buffer, hot (the default)";
  if (l.align == Landing::kAlignCapture)
    return "as the capture found them: offsets from a line drawn in its proportions, and its "
           "share of cold calls at random lines of " +
           std::to_string(l.footprint) + " bytes" + level_words(l.level) +
           ", the rest in one hot place";
  std::string where = l.align == Landing::kAlignRandom ? "at random offsets from a 64-byte line"
                      : l.align <= 0                   ? "at the start of a 64-byte line"
                                     : std::to_string(l.align) + " bytes past a 64-byte line";
  if (l.footprint == 0)
    return where + ", in one place";
  return where + ", walking " + std::to_string(l.footprint) + " bytes" + level_words(l.level);
}

} // namespace report
