// What a variant really measures: the memset its environment binds and the
// C library's tunables in force.

#include "report/campaign/binding.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/process.hpp"
#include "report/sys/text.hpp"

#include <cstdlib>
#include <filesystem>

namespace report {

namespace {

// A listing holds a few dozen lines, a probe's output three; the C
// library's symbols as nm lists them are under a megabyte. These bounds are
// far above any real one and keep a wrong program's output from costing much.
constexpr size_t kMaxListingBytes = 1 << 20;
constexpr size_t kMaxSymbolsBytes = 64 << 20;

// The lines of `text`.
std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// The first line a program wrote on its standard error, kept: a loader
// says there which library it could not load.
std::string first_line_of(const std::string &path) {
  std::string text;
  try {
    text = read_regular_file(path, kMaxListingBytes, "a program's error output");
  } catch (const Failure &) {
    return "";
  }
  for (const auto &line : lines_of(text))
    if (!line.empty())
      return line;
  return "";
}

// Runs `argv` under `env` with its standard output read back; none when it
// could not run or failed, with `why` saying how.
std::optional<std::string> output_of(Command cmd, double timeout, size_t max_bytes,
                                     std::string &why) {
  TempFile out(temp_dir() + "/memset-report-probe"), err(temp_dir() + "/memset-report-probe");
  SignalScope signals;
  cmd.timeout = timeout;
  cmd.stdout_path = out.path();
  cmd.stderr_path = err.path();
  Outcome o = run_program(cmd);
  if (o.kind == Outcome::Interrupted)
    throw Interrupted(o.code,
                      "checking what the variants bind: interrupted by " + signal_name(o.code));
  if (!o.ok()) {
    std::string said = first_line_of(err.path());
    why = cmd.argv[0] + ": " + o.describe() + (said.empty() ? "" : " (" + printable(said) + ")");
    return std::nullopt;
  }
  return read_regular_file(out.path(), max_bytes, "a program's output");
}

// A whole number written in decimal or with 0x.
std::optional<unsigned long long> whole(const std::string &s) {
  if (s.empty() || s.size() > 20)
    return std::nullopt;
  char *end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(s.c_str(), &end, 0);
  if (errno || *end || s[0] == '-' || s[0] == '+' || s[0] == ' ')
    return std::nullopt;
  return v;
}

} // namespace

Tunables parse_tunables(const std::string &listing) {
  Tunables t;
  for (const auto &line : lines_of(listing)) {
    auto colon = line.find(':');
    if (colon == std::string::npos || line.compare(0, 6, "glibc.") != 0)
      continue;
    std::string name = line.substr(0, colon), value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ')
      value.erase(0, 1);
    if (auto bounds = value.find(" (min: "); bounds != std::string::npos)
      value.erase(bounds);
    t[name] = value;
  }
  return t;
}

std::vector<std::pair<std::string, std::string>>
requested_tunables(const std::vector<std::string> &env) {
  std::string value;
  for (const auto &e : env)
    if (is_tunables_entry(e))
      value = e.substr(e.find('=') + 1);
  std::vector<std::pair<std::string, std::string>> out;
  for (size_t start = 0; start < value.size();) {
    size_t end = std::min(value.find(':', start), value.size());
    std::string item = value.substr(start, end - start);
    start = end + 1;
    if (item.empty())
      continue;
    auto eq = item.find('=');
    out.emplace_back(item.substr(0, eq), eq == std::string::npos ? "" : item.substr(eq + 1));
  }
  return out;
}

bool value_taken(const std::string &value, const std::string &listed) {
  auto a = whole(value), b = whole(listed);
  if (a && b)
    return *a == *b;
  return value == listed;
}

bool MemsetCode::same_code(const MemsetCode &o) const {
  if (offset != o.offset)
    return false;
  if (!build_id.empty() && !o.build_id.empty())
    return build_id == o.build_id;
  return object == o.object;
}

std::string MemsetCode::text() const {
  std::string where = object + "+" + offset;
  return symbol.empty() ? where : symbol + " (" + where + ")";
}

namespace {

// memset-probe's "key: value" lines, the last of each key; others ignored.
std::map<std::string, std::string> probe_fields(const std::string &output) {
  std::map<std::string, std::string> fields;
  for (const auto &line : lines_of(output))
    if (auto colon = line.find(": "); colon != std::string::npos)
      fields[line.substr(0, colon)] = line.substr(colon + 2);
  return fields;
}

} // namespace

std::optional<MemsetCode> parse_probe(const std::string &output) {
  auto f = probe_fields(output);
  MemsetCode c{f["object"], f["offset"], f["build_id"], ""};
  if (c.object.empty() || c.offset.rfind("0x", 0) != 0 || !whole(c.offset))
    return std::nullopt;
  return c;
}

std::optional<LoadedLibc> parse_probe_libc(const std::string &output) {
  auto f = probe_fields(output);
  LoadedLibc c{f["libc"], f["libc_version"], f["libc_build_id"]};
  if (c.path.empty())
    return std::nullopt;
  return c;
}

std::string symbol_at(const std::string &nm_output, const std::string &offset) {
  auto want = whole(offset);
  for (const auto &line : lines_of(nm_output)) {
    // "000000000016e040 t __memset_avx512_unaligned_erms"
    auto sp = line.find(' ');
    if (!want || sp == std::string::npos || line.size() < sp + 4 || line[sp + 2] != ' ')
      continue;
    char type = line[sp + 1];
    auto at = whole("0x" + line.substr(0, sp));
    if (at && *at == *want && (type == 't' || type == 'T' || type == 'i'))
      return line.substr(sp + 3);
  }
  return "";
}

Measured measure_environment(const std::string &probe, const Launch &launch, double timeout) {
  Measured m;
  std::string why;
  if (!std::filesystem::exists(probe)) {
    m.memset_unknown = "no " + probe + " (it is built and installed with memset-report)";
  } else if (auto out = output_of(launch.command({probe}), timeout, kMaxListingBytes, why)) {
    m.memset = parse_probe(*out);
    m.libc = parse_probe_libc(*out);
    if (!m.memset)
      m.memset_unknown = probe + " gave no object and offset";
  } else {
    m.memset_unknown = why;
  }
  if (m.memset) {
    // The object's own symbols first (a library built from source keeps
    // them), then its detached debug symbols by build ID. Each listed once
    // per run of this tool: every variant of a campaign asks.
    static std::map<std::string, std::string> listed;
    std::vector<std::string> files = {m.memset->object};
    if (m.memset->build_id.size() > 2)
      files.push_back(std::string(kDebugRoot) + "/" + m.memset->build_id.substr(0, 2) + "/" +
                      m.memset->build_id.substr(2) + ".debug");
    for (const auto &file : files) {
      std::string ignored;
      if (!listed.count(file) && std::filesystem::exists(file))
        listed[file] = output_of(Launch().command({"nm", "--defined-only", file}, true), timeout,
                                 kMaxSymbolsBytes, ignored)
                           .value_or("");
      if (listed.count(file))
        m.memset->symbol = symbol_at(listed[file], m.memset->offset);
      if (!m.memset->symbol.empty())
        break;
    }
  }
  if (launch.libc())
    if (auto out = output_of(launch.loader_command({"--version"}), timeout, kMaxListingBytes, why))
      m.loader_version = lines_of(*out).empty() ? "" : lines_of(*out)[0];
  const std::string loader = launch.loader();
  if (!std::filesystem::exists(loader)) {
    m.tunables_unknown = "no glibc loader at " + loader;
  } else if (auto out = output_of(launch.loader_command({"--list-tunables"}), timeout,
                                  kMaxListingBytes, why)) {
    m.tunables = parse_tunables(*out);
    if (m.tunables->empty()) {
      m.tunables.reset();
      m.tunables_unknown = loader + " --list-tunables listed none";
    }
  } else {
    m.tunables_unknown = "the C library's loader lists no tunables (glibc 2.33 and later "
                         "do): " +
                         why;
  }
  return m;
}

std::string cannot_start(const Launch &launch, const std::string &program, double timeout) {
  if (!launch.libc())
    return "";
  // What it would load, or "not found": "LOADER --list COPY" of the copy
  // the variant starts, "LOADER --library-path DIRS --list PROGRAM" where
  // it starts the program through the loader.
  const LibcTree &tree = *launch.libc();
  std::string why;
  auto out = output_of(
      tree.start == LibcTree::Start::Copy
          ? launch.loader_command({"--list", started_copy(program, tree)})
          : launch.loader_command({"--library-path", tree.library_path(), "--list", program}),
      timeout, kMaxListingBytes, why);
  if (!out)
    return why;
  std::string missing;
  for (const auto &line : lines_of(*out))
    if (line.find("=> not found") != std::string::npos) {
      auto name = line.substr(line.find_first_not_of(" \t"));
      missing += (missing.empty() ? "" : ", ") + name.substr(0, name.find(' '));
    }
  return missing.empty() ? "" : "it finds no " + missing + " on that library path";
}

bool same_release(const std::string &loader_version, const std::string &libc_banner) {
  auto a = loader_version.find('('), b = libc_banner.find('(');
  if (a == std::string::npos || b == std::string::npos)
    return true; // nothing to tell them apart by
  return loader_version.substr(a) == libc_banner.substr(b);
}

std::string tunables_text(const Tunables &in_force, const Tunables &defaults) {
  std::string s;
  for (const auto &[name, value] : in_force) {
    auto d = defaults.find(name);
    if (d == defaults.end() || d->second != value)
      s += (s.empty() ? "" : ",") + name + "=" + value;
  }
  return s.empty() ? "defaults" : s;
}

bool same_code(const Measured &a, const Measured &b) {
  if (!a.memset || !b.memset || !a.tunables || !b.tunables || !a.memset->same_code(*b.memset))
    return false;
  Tunables x = *a.tunables, y = *b.tunables;
  x.erase("glibc.cpu.hwcaps");
  y.erase("glibc.cpu.hwcaps");
  return x == y;
}

} // namespace report
