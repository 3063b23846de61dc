// The result file of memset-batch, read strictly and within bounds.

#include "report/formats/batch_file.hpp"

#include "batch/batch_format.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"

namespace report {

namespace {

[[noreturn]] void bad(const std::string &name, size_t line, const std::string &what) {
  throw InputError(name + ":" + std::to_string(line) + ": " + printable(what));
}

// "12.345" as 12345: digits, a point and exactly the format's decimals; at
// most 15 digits before the point.
bool milli(const std::string &s, uint64_t &out) {
  size_t dot = s.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 15 ||
      s.size() - dot - 1 != (size_t)batch_format::kDecimals)
    return false;
  std::string digits = s.substr(0, dot) + s.substr(dot + 1);
  if (s.substr(0, dot).size() > 1 && s[0] == '0')
    return false;
  auto v = parse_whole(digits);
  if (!v)
    return false;
  out = *v;
  return true;
}

// A whole number in its one spelling: no leading zero.
std::optional<uint64_t> canonical_whole(const std::string &s) {
  auto v = parse_whole(s);
  return v && std::to_string(*v) == s ? v : std::nullopt;
}

static_assert(batch_format::kDecimals == 3, "milli_text writes three decimals");

std::string milli_text(uint64_t v) {
  return std::to_string(v / 1000) + fmt(".%03u", (unsigned)(v % 1000));
}

} // namespace

std::string batch_text(const BatchRun &r) {
  using namespace batch_format;
  const BatchHeader &h = r.header;
  std::string o = std::string(h.landing.placed() ? kMarkPlaced
                              : h.buffer         ? kMarkBuffer
                                                 : kMark) +
                  "\n";
  auto key = [&](Key k, const std::string &v) {
    o += std::string("# ") + kKeyNames[k] + ": " + v + "\n";
  };
  key(kLengthsKey, h.replay ? kReplay : h.random ? kRandom : kFixed);
  key(kSeed, std::to_string(h.seed));
  key(kResolution, std::to_string(h.resolution));
  key(kReadCost, milli_text(h.read_cost));
  key(kLoop, milli_text(h.loop));
  key(kBatch, std::to_string(h.batch_ticks));
  if (h.landing.placed()) {
    o += std::string("# ") + kPlacedKeyNames[kAlign] + ": " + align_word(h.landing.align) + "\n";
    o += std::string("# ") + kPlacedKeyNames[kFootprint] + ": " +
         std::to_string(h.landing.footprint) + "\n";
  } else if (h.buffer) {
    o += std::string("# ") + kBufferKey + ": " + std::to_string(*h.buffer) + "\n";
  }
  for (uint64_t v : r.values)
    o += milli_text(v) + "\n";
  return o;
}

bool BatchHeader::operator==(const BatchHeader &o) const {
  return random == o.random && replay == o.replay && seed == o.seed && resolution == o.resolution &&
         read_cost == o.read_cost && loop == o.loop && batch_ticks == o.batch_ticks &&
         landing == o.landing && buffer == o.buffer;
}

bool is_batch_text(const std::string &text) {
  for (const char *m :
       {batch_format::kMark, batch_format::kMarkPlaced, batch_format::kMarkBuffer}) {
    const std::string mark = std::string(m) + "\n";
    if (text.compare(0, mark.size(), mark) == 0)
      return true;
  }
  return false;
}

BatchRun parse_batch(const std::string &text, const std::string &name) {
  using namespace batch_format;
  if (text.empty())
    throw InputError(name + ": empty file");
  if (text.size() > kMaxBatchBytes)
    throw InputError(name + ": more than " + std::to_string(kMaxBatchBytes) + " bytes");
  BatchRun r;
  r.values.reserve(kLengths);
  size_t line = 0, keys = kKeys;
  bool buffered = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      bad(name, line + 1, "the last line has no line feed (a file cut short?)");
    std::string s = text.substr(start, end - start);
    start = end + 1;
    line++;
    if (line == 1) {
      buffered = s == kMarkBuffer;
      if (s == kMarkPlaced)
        keys = kKeys + kPlacedKeys;
      else if (buffered)
        keys = kKeys + 1;
      else if (s != kMark)
        bad(name, 1,
            "not a memset-batch file of a version this tool reads (expected '" +
                std::string(kMark) + "', '" + kMarkPlaced + "' or '" + kMarkBuffer + "')");
      continue;
    }
    if (buffered && line == 2 + kKeys) {
      const std::string prefix = std::string("# ") + kBufferKey + ": ";
      if (s.compare(0, prefix.size(), prefix) != 0)
        bad(name, line, std::string("expected '") + prefix + "VALUE', found '" + s + "'");
      auto b = canonical_whole(s.substr(prefix.size()));
      if (!b || *b >= kLine)
        bad(name, line, "'buffer' cannot be '" + s.substr(prefix.size()) + "'");
      r.header.buffer = (int)*b;
      continue;
    }
    if (line > 1 + kKeys && line <= 1 + keys) {
      const auto k = (PlacedKey)(line - 2 - kKeys);
      std::string prefix = std::string("# ") + kPlacedKeyNames[k] + ": ";
      if (s.compare(0, prefix.size(), prefix) != 0)
        bad(name, line, std::string("expected '") + prefix + "VALUE', found '" + s + "'");
      std::string v = s.substr(prefix.size());
      bool ok;
      if (k == kAlign) {
        auto a = align_of(v);
        ok = a && *a != Landing::kAlignBuffer;
        r.header.landing.align = a.value_or(Landing::kAlignBuffer);
      } else {
        auto f = canonical_whole(v);
        ok = f && (*f == 0 || (*f >= kLengths && *f <= kMaxFootprint));
        r.header.landing.footprint = f.value_or(0);
      }
      if (!ok)
        bad(name, line, std::string("'") + kPlacedKeyNames[k] + "' cannot be '" + v + "'");
      continue;
    }
    if (line <= 1 + kKeys) {
      const Key k = (Key)(line - 2);
      std::string prefix = std::string("# ") + kKeyNames[k] + ": ";
      if (s.compare(0, prefix.size(), prefix) != 0)
        bad(name, line, std::string("expected '") + prefix + "VALUE', found '" + s + "'");
      std::string v = s.substr(prefix.size());
      std::optional<uint64_t> whole = canonical_whole(v);
      uint64_t m = 0;
      bool ok = true;
      switch (k) {
      case kLengthsKey:
        ok = v == kFixed || v == kRandom || v == kReplay;
        r.header.random = v == kRandom;
        r.header.replay = v == kReplay;
        break;
      case kSeed:
        ok = whole.has_value();
        r.header.seed = whole.value_or(0);
        break;
      case kResolution:
      case kBatch:
        ok = whole && *whole > 0;
        (k == kResolution ? r.header.resolution : r.header.batch_ticks) = whole.value_or(0);
        break;
      default:
        ok = milli(v, m);
        (k == kReadCost ? r.header.read_cost : r.header.loop) = m;
      }
      if (!ok)
        bad(name, line, std::string("'") + kKeyNames[k] + "' cannot be '" + v + "'");
      continue;
    }
    uint64_t v = 0;
    if (!milli(s, v))
      bad(name, line,
          "expected ticks per call with " + std::to_string(kDecimals) + " decimals, found '" + s +
              "'");
    const size_t want = r.header.replay ? 1 : kLengths;
    if (r.values.size() == want)
      bad(name, line, "more than " + std::to_string(want) + (want == 1 ? " value" : " values"));
    r.values.push_back(v);
  }
  if (line < 1 + keys)
    throw InputError(name + ": the header is cut short");
  const size_t want = r.header.replay ? 1 : kLengths;
  if (r.values.size() != want)
    throw InputError(name + ": " + std::to_string(r.values.size()) + " values, not " +
                     std::to_string(want) + " (a file cut short?)");
  if (!r.header.random && !r.header.replay && r.header.seed != 0 &&
      r.header.landing.align != Landing::kAlignRandom)
    throw InputError(name + ": a seed given with fixed lengths");
  return r;
}

} // namespace report
