// The variants that tune and census run.

#include "report/campaign/variants.hpp"

#include "report/campaign/machine.hpp"
#include "report/campaign/settings.hpp"
#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace report {

namespace {

bool has(const std::vector<std::string> &flags, const char *f) {
  return std::find(flags.begin(), flags.end(), f) != flags.end();
}

// GLIBC_TUNABLES set in this environment would be the baseline of some
// variants and be replaced in others.
void refuse_inherited_tunables(const char *command) {
  if (const char *t = std::getenv(kTunablesVar))
    throw UsageError(std::string(command) + ": GLIBC_TUNABLES is set in this environment ('" + t +
                     "'); unset it, so that 'default' is glibc's own choice");
}

} // namespace

std::vector<TuneVariant> tune_variants(const std::vector<std::string> &flags) {
  std::vector<TuneVariant> v;
  auto add = [&](const std::string &name, const std::string &tunables) {
    std::vector<std::string> env;
    if (!tunables.empty())
      env.push_back(std::string(kTunablesVar) + "=" + tunables);
    for (const auto &o : v)
      if (o.env == env)
        return; // the same setting under another name
    v.push_back({name, env});
  };
  add("default", "");
  add("stosb_always", kStosbAlways);
  add("stosb_never", kStosbNever);
  // Masks go from the widest vectors down: each takes away one more feature
  // that glibc's memset selection looks at, and only features this
  // processor has (masking one it lacks changes nothing).
  std::string mask;
  auto masked = [&](const char *feature) {
    mask += std::string(mask.empty() ? "" : ",") + "-" + feature;
    return "glibc.cpu.hwcaps=" + mask;
  };
  // AVX512F picks the 512-bit memset; AVX512VL the 256-bit EVEX one; AVX2
  // the 256-bit VEX one; below that the SSE2 loop, with ERMS its rep stosb.
  const struct {
    const char *flag, *feature, *name;
  } masks[] = {{"avx512f", "AVX512F", "no_avx512"},
               {"avx512vl", "AVX512VL", "no_evex"},
               {"avx2", "AVX2", "no_avx2"},
               {"erms", "ERMS", "sse2_no_erms"}};
  for (const auto &m : masks)
    if (has(flags, m.flag))
      add(m.name, masked(m.feature));
  if (has(flags, "erms"))
    add("no_erms", "glibc.cpu.hwcaps=-ERMS");
  return v;
}

std::optional<std::string> why_not_tunable(const std::string &libc) {
  int major = 0, minor = 0;
  if (std::sscanf(libc.c_str(), "glibc %d.%d", &major, &minor) != 2)
    return "the C library is '" + (libc.empty() ? std::string("unknown") : libc) +
           "', not glibc; only glibc's choice of memset can be steered with GLIBC_TUNABLES";
  if (major < kTunablesMajor || (major == kTunablesMajor && minor < kTunablesMinor))
    return libc + " has no x86_rep_stosb_threshold tunable (glibc " +
           std::to_string(kTunablesMajor) + "." + std::to_string(kTunablesMinor) + " or later has)";
  return std::nullopt;
}

void check_tunable_libc(const std::string &libc) {
  if (auto why = why_not_tunable(libc))
    throw NoTunables("tune: " + *why);
}

const std::vector<KnownLibrary> &known_libraries() {
  static const std::vector<KnownLibrary> libs = {{"musl", "musl-dev"},
                                                 {"dietlibc", "dietlibc-dev"},
                                                 {"klibc", "libklibc-dev"},
                                                 {"llvmlibc", "libllvmlibc-19-dev"}};
  return libs;
}

std::string preload_library_file(const std::string &name) { return "libmemset-" + name + ".so"; }

CampaignOptions tune_plan(const CampaignOptions &given) {
  // The library tuned is the one its runs load: a build's own, where given.
  check_tunable_libc(given.libc ? release_of(*given.libc, given.time_limit()) : libc_version());
  refuse_inherited_tunables("tune");
  CampaignOptions c = given;
  for (const auto &v : tune_variants(cpu_flags()))
    c.variants.push_back({v.name, v.env, std::nullopt, std::nullopt});
  c.same_as = measure_once(c);
  return c;
}

CensusPlan census_plan(const CampaignOptions &given, const std::string &tool_dir) {
  refuse_inherited_tunables("census");
  CensusPlan plan;
  CampaignOptions &c = plan.campaign;
  c = given;
  c.variants.clear();
  // Without tunables: glibc's own choice only, without its variants.
  bool glibc = !why_not_tunable(libc_version());
  for (const auto &v : tune_variants(glibc ? cpu_flags() : std::vector<std::string>{}))
    if (glibc || v.name == "default")
      c.variants.push_back({v.name, v.env, std::nullopt, std::nullopt});
  for (const auto &lib : known_libraries()) {
    std::string path = tool_dir + "/" + preload_library_file(lib.name);
    if (!std::filesystem::exists(path)) {
      plan.left_out.push_back(std::string(lib.name) + " left out: no " + path +
                              " beside memset-report (install " + lib.package +
                              " and build again)");
      continue;
    }
    c.variants.push_back({lib.name, {preload_entry(path)}, std::nullopt, std::nullopt});
    c.libraries.push_back({lib.name, lib.package, package_version(lib.package)});
  }
  for (const auto &v : given.variants) {
    for (const auto &known : c.variants)
      if (known.name == v.name)
        throw UsageError("census --variant " + v.name + ": the census has a variant of that name");
    c.variants.push_back(v);
  }
  c.same_as = measure_once(c);
  return plan;
}

} // namespace report
