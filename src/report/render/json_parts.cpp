// Pieces of the JSON: text as UTF-8, a capture, and a figure per run.

#ifdef MEMSET_REPORT_JSON

#include "report/render/json_parts.hpp"

#include "report/render/pieces.hpp"
#include "report/sys/text.hpp"

namespace report {

using nlohmann::ordered_json;

// JSON strings must be UTF-8: a byte that is not part of a valid sequence
// (a file name or an --env value in Latin-1, say) is written as the text
// \xNN, which every reader accepts and a person can still read.
std::string utf8(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = len > 0 && i + len <= s.size() && !(len == 2 && c < 0xc2);
    for (size_t j = 1; ok && j < len; j++)
      ok = ((unsigned char)s[i + j] >> 6) == 2;
    if (ok && len == 3) { // no overlong forms, no surrogates
      unsigned char d = (unsigned char)s[i + 1];
      ok = !(c == 0xe0 && d < 0xa0) && !(c == 0xed && d >= 0xa0);
    }
    if (ok && len == 4) {
      unsigned char d = (unsigned char)s[i + 1];
      ok = c <= 0xf4 && !(c == 0xf0 && d < 0x90) && !(c == 0xf4 && d >= 0x90);
    }
    if (ok) {
      out.append(s, i, len);
      i += len;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
      i++;
    }
  }
  return out;
}

std::vector<std::string> utf8(const std::vector<std::string> &v) {
  std::vector<std::string> out;
  for (const auto &s : v)
    out.push_back(utf8(s));
  return out;
}

namespace {

// A record value as JSON: a plain decimal number as a number ("rounds":
// 230), anything else as text.
ordered_json record_value(const std::string &v) {
  if (auto whole = parse_whole(v))
    return *whole;
  if (auto decimal = parse_decimal(v))
    return *decimal;
  return utf8(v);
}

} // namespace

ordered_json libc_json(const LibcRecord &l) {
  ordered_json j = {
      {"path", utf8(l.path)}, {"version", utf8(l.version)}, {"build_id", utf8(l.build_id)}};
  if (!l.loader.empty()) {
    j["loader"] = utf8(l.loader);
    j["library_path"] = utf8(l.library_path);
  }
  j["started"] = started_of(l);
  return j;
}

ordered_json context_of(const Set &set) {
  ordered_json c = ordered_json::object();
  // A key the record repeats (a budget each session) is a list of its values.
  for (const auto &[k, v] : record_fields(set.record, false)) {
    if (!c.contains(k))
      c[k] = record_value(v);
    else {
      if (!c[k].is_array())
        c[k] = ordered_json::array({c[k]});
      c[k].push_back(record_value(v));
    }
  }
  // A command's words are always a list, and always text.
  if (set.record.kind() == CampaignKind::Program)
    c["program"] = utf8(set.record.program);
  c["env"] = utf8(set.env);
  c["env_inherited"] = utf8(set.inherited_env);
  if (!set.memset.empty())
    c["memset"] = utf8(set.memset);
  if (!set.tunables.empty())
    c["tunables"] = utf8(set.tunables);
  if (!set.libc.path.empty() || !set.libc.loader.empty())
    c["libc"] = libc_json(set.libc);
  if (set.engine == Engine::Batch) {
    const Landing l = set.landing();
    c["landing"] = {{"align", align_word(l.align)},
                    {"footprint", l.footprint},
                    {"level", utf8(l.level)},
                    {"text", landing_text(l)}};
    if (set.buffer())
      c["landing"]["buffer"] = *set.buffer();
  }
  c["runs"] = set.runs.size();
  if (set.planned)
    c["planned_runs"] = set.planned;
  return c;
}

ordered_json entry(const std::string &name, const std::string &run_name, size_t family,
                   size_t repetitions) {
  ordered_json e;
  e["name"] = name;
  e["family_index"] = family;
  e["per_family_instance_index"] = 0;
  e["run_name"] = run_name;
  e["run_type"] = "iteration";
  e["repetitions"] = repetitions;
  return e;
}

std::string nested(const ordered_json &j, int depth) {
  std::string text = j.dump(2), pad(2 * (size_t)depth, ' '), out;
  for (char c : text) {
    out += c;
    if (c == '\n')
      out += pad;
  }
  return out;
}

ordered_json capture_json(const Capture &c) {
  return {{"command", utf8(c.command)},   {"outcome", capture_end_name(c.end)},
          {"how", utf8(c.how)},           {"wall_seconds", c.wall_seconds},
          {"cpu_seconds", c.cpu_seconds}, {"calls", c.calls},
          {"processes", c.processes},     {"libc", utf8(c.libc)},
          {"date", utf8(c.date)}};
}

namespace {

// {"NAME": value, "NAME_low": ..., "NAME_high": ...}; the interval only where there is one.
void put(ordered_json &j, const std::string &name, const Figure &f, bool interval) {
  j[name] = f.value;
  if (interval) {
    j[name + "_low"] = f.low;
    j[name + "_high"] = f.high;
  }
}

} // namespace

// A range, band or weighted estimate, as the text gives it: where fills
// hide in either set's readings, whose they are, and no ratio or interval;
// where a difference shows past the hidden side's floor, its one-sided
// bound ("at_least" or "at_most", of the ratio and of the difference per
// call in ticks) instead.
ordered_json estimate_json(size_t from, size_t to, const Decision &d, Hidden where,
                           const Sides &sides, const Estimate &e) {
  ordered_json j = {{"from", from}, {"to", to}, {"verdict", verdict_name(d.verdict)}};
  if (where != Hidden::None) {
    ordered_json in = ordered_json::array();
    if (where == Hidden::Base || where == Hidden::Both)
      in.push_back(utf8(sides.base));
    if (where == Hidden::Other || where == Hidden::Both)
      in.push_back(utf8(sides.other));
    j["hidden_in"] = in;
  }
  if (d.hidden) {
    j["ratio"] = nullptr;
    j["hidden"] = true;
    return j;
  }
  if (d.bound) {
    Bound r = ratio_bound(e, d), diff = diff_bound(e, d);
    const char *side = r.at_least ? "at_least" : "at_most";
    j["ratio"] = nullptr;
    j["bound"] = side;
    j[side] = r.value;
    j[std::string("diff_ticks_") + side] = diff.value;
    return j;
  }
  j["ratio"] = e.ratio;
  if (e.interval) {
    j["low"] = e.low;
    j["high"] = e.high;
  }
  return j;
}

ordered_json per_run_json(const PerRun &p) {
  ordered_json j = {{"calls", p.calls}};
  if (p.hidden)
    j["hidden"] = true;
  const Unseen &u = p.unseen;
  j["unseen_calls"] = u.calls;
  j["unseen_ticks"] = u.ticks;
  if (u.seconds)
    j["unseen_seconds"] = *u.seconds;
  if (u.wall_share)
    j["unseen_wall_share"] = *u.wall_share;
  if (u.cpu_share)
    j["unseen_cpu_share"] = *u.cpu_share;
  if (p.at_least) {
    // A one-sided bound: the figure it rests on alone, named for its side.
    const char *side = *p.at_least ? "at_least" : "at_most";
    j["bound"] = side;
    auto one = [&](const std::string &name, const Figure &f) {
      j[name] = nullptr;
      j[name + "_" + side] = *p.at_least ? f.low : f.high;
    };
    one("ticks", p.ticks);
    if (p.seconds)
      one("seconds", *p.seconds);
    if (p.wall_share)
      one("wall_share", *p.wall_share);
    if (p.cpu_share)
      one("cpu_share", *p.cpu_share);
    return j;
  }
  put(j, "ticks", p.ticks, p.interval);
  if (p.seconds)
    put(j, "seconds", *p.seconds, p.interval);
  if (p.wall_share)
    put(j, "wall_share", *p.wall_share, p.interval);
  if (p.cpu_share)
    put(j, "cpu_share", *p.cpu_share, p.interval);
  return j;
}

} // namespace report

#endif
