// The rows of a campaign's settings: each one's option and check, record
// key, engine arguments and the words that ask for it again, side by side.

#include "report/formats/campaign_settings.hpp"

#include "report/formats/record_values.hpp"
#include "report/formats/result_file.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/text.hpp"
#include "report/sys/values.hpp"

#include <algorithm>
#include <sched.h>

namespace report {

namespace {

using S = CampaignSettings;

// The limits of values, each with its reason.
// Linux knows at most 8192 processors; the affinity check names any other.
constexpr unsigned long kMaxCpu = 8191;
// A run takes well under a second; a limit beyond a day guards nothing.
constexpr double kMaxTimeout = 86400;
// A week: beyond it a campaign outlives the machine's state it measures.
constexpr double kMaxSpan = 7 * 86400;
// Seeds are recorded and read back as decimals that fit a signed 64-bit value.
constexpr unsigned long kMaxSeed = UINT64_MAX >> 1;
// memset-batch walks at most a terabyte (batch_format's bound).
constexpr uint64_t kMaxFootprintBytes = 1ull << 40;

// The word that stands for "nothing" where a key is always written.
constexpr const char *kNone = "none";

void add(Words &w, const char *option, const std::string &value) {
  w.push_back(option);
  w.push_back(value);
}

void text_line(Fields &out, const char *key, const std::string &v) {
  if (!v.empty())
    out.emplace_back(key, v);
}

// A curve's or a replay's engine settings: a program campaign runs no engine.
bool has_engine(const S &s) { return s.kind() != CampaignKind::Program; }

// Where a replay plays its capture's offsets, its mix says where each call
// lands; the engine is told an offset only where one was asked.
bool align_asked(const Landing &l) {
  return l.align != Landing::kAlignBuffer && l.align != Landing::kAlignCapture;
}

void ask_cpu(S &s, const std::string &v, const MachineLimits &) {
  unsigned cpu = (unsigned)count_value("--cpu", v, kMaxCpu);
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof allowed, &allowed) != 0 ||
      !CPU_ISSET(cpu, &allowed))
    throw UsageError("--cpu " + v + ": no such processor available to this process");
  s.cpu = cpu;
}

void ask_engine(S &s, const std::string &v, const MachineLimits &) {
  auto e = engine_named(v);
  if (!e || v.rfind("memset-", 0) == 0)
    throw UsageError("--engine takes bench or batch, got '" + v + "'");
  s.engine = *e;
}

void ask_align(S &s, const std::string &v, const MachineLimits &) {
  auto a = align_of(v);
  if (!a || *a == Landing::kAlignBuffer)
    throw UsageError("--align takes an offset from 0 to 63 bytes past a "
                     "64-byte line, random, or capture, got '" +
                     printable(v) + "'");
  s.landing.align = *a;
}

void ask_footprint(S &s, const std::string &v, const MachineLimits &m) {
  Landing &l = s.landing;
  if (v == "L1" || v == "L2" || v == "LLC" || v == "memory") {
    l.footprint = m.level_bytes(v);
    l.level = v;
  } else {
    // Bytes, or with K, M or G for powers of 1024.
    char unit = v.empty() ? 0 : v.back();
    uint64_t scale = unit == 'K'   ? 1ull << 10
                     : unit == 'M' ? 1ull << 20
                     : unit == 'G' ? 1ull << 30
                                   : 1;
    auto n = parse_whole(scale > 1 ? v.substr(0, v.size() - 1) : v);
    if (!n || *n > kMaxFootprintBytes / scale || *n * scale < kLengths)
      throw UsageError("--footprint takes bytes (K, M or G for 1024s) from 32768, the "
                       "largest fill, to 1T, or L1, L2, LLC or memory, got '" +
                       printable(v) + "'");
    l.footprint = *n * scale;
    l.level.clear();
  }
  if (auto avail = m.available(); avail && l.footprint > *avail)
    throw UsageError("--footprint " + printable(v) + ": " + std::to_string(l.footprint) +
                     " bytes, more than the " + std::to_string(*avail) +
                     " this machine can give now (MemAvailable)");
}

std::vector<SettingRow> rows() {
  return {
      {"--min-span", "S",
       "until decided: no look before the rounds span S seconds\n"
       "(default {min_span} for a replay or a program, 0 for a curve)",
       [](S &s, const std::string &v, const MachineLimits &) {
         s.min_span = decimal_value("--min-span", v, 0, kMaxSpan);
       },
       nullptr, false, "min_span",
       [](const S &s, const char *n, Fields &o) {
         if (s.min_span)
           o.emplace_back(n, in_seconds(*s.min_span));
       },
       [](S &s, const std::string &v) { s.min_span = seconds(v); }, nullptr,
       [](const S &s, Words &w, Words &) {
         if (s.min_span)
           add(w, "--min-span", fmt("%g", *s.min_span));
       },
       nullptr},
      // In percent, as --threshold takes it; the option is the comparisons'.
      {nullptr, nullptr, nullptr, nullptr, nullptr, false, "threshold",
       [](const S &s, const char *n, Fields &o) {
         if (s.threshold)
           o.emplace_back(n, plain_decimal(*s.threshold * 100));
       },
       [](S &s, const std::string &v) {
         if (auto pct = parse_decimal(v); pct && *pct > 0 && *pct < 100)
           s.threshold = *pct / 100;
       },
       nullptr,
       [](const S &s, Words &w, Words &) {
         if (s.threshold)
           add(w, "--threshold", fmt("%g", 100 * *s.threshold));
       },
       nullptr},
      {"--cpu", "K", "pin every run to processor K (default: no pinning)", ask_cpu, nullptr, false,
       "pinning",
       [](const S &s, const char *n, Fields &o) {
         o.emplace_back(n, s.cpu ? "cpu " + std::to_string(*s.cpu) : kNone);
       },
       [](S &s, const std::string &v) {
         s.cpu = v.rfind("cpu ", 0) == 0 ? small_number(v.substr(4)) : std::nullopt;
       },
       nullptr,
       [](const S &s, Words &w, Words &) {
         if (s.cpu)
           add(w, "--cpu", std::to_string(*s.cpu));
       },
       nullptr},
      {"--timeout", "S",
       "kill a run that takes longer than S seconds and stop\n"
       "(default 60; 0: no limit)",
       [](S &s, const std::string &v, const MachineLimits &) {
         double t = decimal_value("--timeout", v, 0, kMaxTimeout);
         s.timeout = t > 0 ? std::optional<double>(t) : std::nullopt;
       },
       nullptr, false, "timeout",
       [](const S &s, const char *n, Fields &o) {
         o.emplace_back(n, s.timeout ? in_seconds(*s.timeout) : kNone);
       },
       [](S &s, const std::string &v) { s.timeout = seconds(v); }, nullptr,
       // No limit is asked for, the default being one.
       [](const S &s, Words &w, Words &) {
         if (s.timeout != kDefaultTimeout)
           add(w, "--timeout", s.timeout ? fmt("%g", *s.timeout) : "0");
       },
       nullptr},
      {"--engine", "bench|batch",
       "bench: memset-bench, one call at a time (the default);\n"
       "batch: memset-batch, batches of back-to-back calls\n"
       "between fenced readings, which see the short fills",
       ask_engine, nullptr, true, "engine",
       // memset-bench's records, as those before the second engine, say none.
       [](const S &s, const char *n, Fields &o) {
         if (s.engine != Engine::Bench)
           o.emplace_back(n, engine_name(s.engine));
       },
       [](S &s, const std::string &v) { s.engine = *engine_named(v); },
       [](const std::string &v) { return engine_named(v).has_value(); },
       [](const S &s, Words &w, Words &) {
         if (has_engine(s) && s.engine == Engine::Batch)
           add(w, "--engine", "batch");
       },
       nullptr},
      // The record's engine_lengths line says how the engine drew its
      // lengths: at random within the bands, or a replay's.
      {"--random-lengths", nullptr,
       "with --engine batch: each batch draws its lengths at random\n"
       "within a band, so that no predictor learns one length",
       [](S &s, const std::string &, const MachineLimits &) { s.random_lengths = true; }, "", true,
       "engine_lengths",
       [](const S &s, const char *n, Fields &o) {
         if (s.random_lengths)
           o.emplace_back(n, "random");
         if (s.replay)
           o.emplace_back(n, "replay");
       },
       [](S &s, const std::string &v) {
         if (v == "random")
           s.random_lengths = true;
         else
           s.replay = s.replay.value_or("");
       },
       [](const std::string &v) { return v == "random" || v == "replay"; },
       [](const S &s, Words &w, Words &) {
         if (has_engine(s) && s.random_lengths)
           w.push_back("--random-lengths");
       },
       [](const S &s, const EngineCall &c, Words &w) {
         if (s.engine == Engine::Batch && s.random_lengths)
           add(w, "--random-lengths", c.bands);
       }},
      {"--align", "K|random",
       "with --engine batch: every fill K bytes past a 64-byte\n"
       "line, or at offsets drawn at random (seeded); with\n"
       "--replay, capture: where the capture found them (the\n"
       "default where it says)",
       ask_align, "memset-bench's buffer is its own, fixed", true, "align",
       [](const S &s, const char *n, Fields &o) {
         if (s.landing.align != Landing::kAlignBuffer)
           o.emplace_back(n, align_word(s.landing.align));
       },
       [](S &s, const std::string &v) {
         s.landing.align = align_of(v).value_or(Landing::kAlignBuffer);
       },
       [](const std::string &v) { return align_of(v).has_value(); },
       [](const S &s, Words &w, Words &) {
         if (has_engine(s) && align_asked(s.landing))
           add(w, "--align", align_word(s.landing.align));
       },
       [](const S &s, const EngineCall &, Words &w) {
         if (align_asked(s.landing))
           add(w, "--align", align_word(s.landing.align));
       }},
      {"--footprint", "BYTES|L1|L2|LLC|memory",
       "with --engine batch: the fills walk a region this large,\n"
       "each on lines the one before did not touch; a cache level\n"
       "is sized from the machine's own (half of it; memory: twice\n"
       "the last level, at least 64M) and recorded in bytes",
       ask_footprint, "memset-bench's buffer is its own, fixed", true, "footprint",
       [](const S &s, const char *n, Fields &o) {
         if (s.landing.footprint)
           o.emplace_back(n, std::to_string(s.landing.footprint));
       },
       [](S &s, const std::string &v) { s.landing.footprint = parse_whole(v).value_or(0); },
       nullptr,
       // A level is asked by its name, bytes as bytes; a capture's own size
       // is what the replay finds again.
       [](const S &s, Words &w, Words &) {
         const Landing &l = s.landing;
         if (has_engine(s) && l.footprint && l.level != kLevelCapture)
           add(w, "--footprint", l.level.empty() ? std::to_string(l.footprint) : l.level);
       },
       [](const S &s, const EngineCall &, Words &w) {
         if (s.landing.footprint)
           add(w, "--footprint", std::to_string(s.landing.footprint));
       }},
      // The cache level a footprint stands for: asked by --footprint.
      {nullptr, nullptr, nullptr, nullptr, nullptr, true, "footprint_level",
       [](const S &s, const char *n, Fields &o) { text_line(o, n, s.landing.level); },
       [](S &s, const std::string &v) { s.landing.level = v; }, nullptr, nullptr, nullptr},
      {"--replay", "CAPTURE",
       "with --engine batch: one figure a run, ticks per call of\n"
       "this capture's (or weights file's) own mix of lengths,\n"
       "its calls in proportion, in a seeded random order",
       [](S &s, const std::string &v, const MachineLimits &) { s.replay = v; },
       "only batches of calls time a mix", true, "replay",
       [](const S &s, const char *n, Fields &o) {
         if (s.replay)
           o.emplace_back(n, *s.replay);
       },
       [](S &s, const std::string &v) { s.replay = v; }, nullptr,
       [](const S &s, Words &w, Words &) {
         if (has_engine(s) && s.replay)
           add(w, "--replay", *s.replay);
       },
       [](const S &s, const EngineCall &c, Words &w) {
         if (s.replay)
           add(w, "--replay", c.mix);
       }},
      // The campaign's own --env, before the first --variant.
      {nullptr, nullptr, nullptr, nullptr, nullptr, false, "env",
       [](const S &s, const char *n, Fields &o) {
         if (s.env.empty())
           o.emplace_back(n, kNone);
         for (const auto &e : s.env)
           o.emplace_back(n, e);
       },
       [](S &s, const std::string &v) {
         if (v != kNone)
           s.env.push_back(v);
       },
       nullptr,
       [](const S &s, Words &w, Words &) {
         for (const auto &e : s.env)
           add(w, "--env", e);
       },
       nullptr},
      {"--keep-output", nullptr,
       "keep each run's standard output and error beside its file\n"
       "(NAME/run-NNN.out, .err) instead of discarding them",
       [](S &s, const std::string &, const MachineLimits &) { s.keep_output = true; }, nullptr,
       false, "program_output",
       [](const S &s, const char *n, Fields &o) {
         if (!s.program.empty())
           o.emplace_back(n, s.keep_output ? "kept" : "discarded");
       },
       [](S &s, const std::string &v) { s.keep_output = v == "kept"; }, nullptr,
       [](const S &s, Words &w, Words &) {
         if (!s.program.empty() && s.keep_output)
           w.push_back("--keep-output");
       },
       nullptr},
      // A program campaign's command, one line a word: the words after '--'.
      {nullptr, nullptr, nullptr, nullptr, nullptr, false, "program",
       [](const S &s, const char *n, Fields &o) {
         for (const auto &w : s.program)
           o.emplace_back(n, w);
       },
       [](S &s, const std::string &v) { s.program.push_back(v); }, nullptr,
       [](const S &s, Words &, Words &command) {
         if (s.program.empty())
           return;
         command.push_back("--");
         command.insert(command.end(), s.program.begin(), s.program.end());
       },
       nullptr},
      // The seed of the round orders; what the engine draws at random takes
      // the round's own. A campaign measured again draws a fresh one.
      {"--seed", "N", "seed of the round orders (default: a fresh one; recorded)",
       [](S &s, const std::string &v, const MachineLimits &) {
         s.seed = count_value("--seed", v, kMaxSeed);
       },
       nullptr, false, "shuffle_seed",
       [](const S &s, const char *n, Fields &o) {
         if (s.seed)
           o.emplace_back(n, std::to_string(*s.seed));
       },
       [](S &s, const std::string &v) { s.seed = parse_whole(v); }, nullptr, nullptr,
       [](const S &s, const EngineCall &c, Words &w) {
         if ((s.engine == Engine::Batch && s.random_lengths) || s.replay ||
             s.landing.align == Landing::kAlignRandom)
           add(w, "--seed", std::to_string(c.seed));
       }},
  };
}

} // namespace

const char *kind_name(CampaignKind k) {
  switch (k) {
  case CampaignKind::Replay:
    return "replay";
  case CampaignKind::Program:
    return "program";
  default:
    return "curve";
  }
}

const std::vector<SettingRow> &setting_rows() {
  static const std::vector<SettingRow> all = rows();
  return all;
}

const SettingRow *setting_of_option(const std::string &option) {
  for (const auto &r : setting_rows())
    if (r.option && option == r.option)
      return &r;
  return nullptr;
}

const SettingRow *setting_of_key(const std::string &key) {
  for (const auto &r : setting_rows())
    if (key == r.key)
      return &r;
  return nullptr;
}

Words engine_arguments(const CampaignSettings &s, const EngineCall &call) {
  Words w;
  for (const auto &r : setting_rows())
    if (r.engine_args)
      r.engine_args(s, call, w);
  return w;
}

void settings_again(const CampaignSettings &s, Words &options, Words &command) {
  for (const auto &r : setting_rows())
    if (r.again)
      r.again(s, options, command);
}

} // namespace report
