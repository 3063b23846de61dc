// --html FILE: the answer a command printed, also as one page, written
// whole or not at all; and the command lines that would measure it again,
// spelled from each campaign's record with this tool's own options.

#include "report/cli/commands.hpp"
#include "report/render/page.hpp"
#include "report/sys/clock.hpp"
#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"
#include "report/sys/text.hpp"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

namespace {

// The options that made a campaign, as its record keeps them.
std::vector<std::string> campaign_words(const Record &r) {
  std::vector<std::string> w;
  auto add = [&](const char *option, const std::string &value) {
    w.push_back(option);
    w.push_back(value);
  };
  if (!r.budgets.empty())
    add("--budget", fmt("%g", r.budgets[0]));
  else if (r.planned)
    add("--runs", std::to_string(*r.planned));
  Words command;
  settings_again(r, w, command);
  auto libc = [&](const LibcRecord &l) {
    if (!l.loader.empty()) {
      add("--loader", l.loader);
      add("--library-path", l.library_path);
    }
  };
  libc(r.libc_run);
  for (const auto &v : r.variants) {
    add("--variant", v.name);
    for (const auto &e : v.env)
      add("--env", e);
    if (r.kind() != CampaignKind::Program && !v.bench.empty() && v.bench != r.bench)
      add("--bench", v.bench);
    libc(v.libc);
  }
  w.insert(w.end(), command.begin(), command.end());
  return w;
}

} // namespace

std::vector<std::string> measure_again(const std::vector<const Set *> &sets) {
  std::vector<std::string> out;
  for (const auto &campaign : one_per_campaign(sets)) {
    const Set *s = campaign.second;
    if (s->record.machine.date.empty())
      continue; // a result file without a record says nothing of how it was made
    std::vector<std::string> words = {"memset-report",
                                      s->record.kind() == CampaignKind::Program ? "program" : "run",
                                      "--out", "NEW-FOLDER"};
    for (auto &w : campaign_words(s->record))
      words.push_back(std::move(w));
    out.push_back(shell_words(words));
  }
  return out;
}

void refuse_page_target(const Options &o) {
  if (o.html.empty())
    return;
  struct stat st;
  if (!o.force && stat(o.html.c_str(), &st) == 0)
    throw InputError("'" + o.html + "' already exists; use --force to replace it");
  // A folder the page cannot go into fails now, before any text is written.
  const size_t slash = o.html.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : o.html.substr(0, slash + 1);
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    throw SystemError(os_error("write", o.html, errno));
}

void write_curves_page(const Options &o, const std::string &title, const Report &curves,
                       const std::string &text) {
  PageParts page;
  page.title = title;
  page.curves = &curves;
  page.text = text;
  write_page(o, page);
}

void write_page(const Options &o, const PageParts &parts) {
  if (o.html.empty())
    return;
  Page p;
  p.title = parts.title;
  std::vector<std::string> typed = {"memset-report"};
  typed.insert(typed.end(), o.words.begin(), o.words.end());
  p.command = shell_words(typed);
  p.curves = parts.curves;
  p.machines = parts.machines;
  p.replay = parts.replay;
  p.program = parts.program;
  p.reproduce = measure_again(page_sets(p));
  p.text = parts.text;
  p.generated = utc_now();
  const std::string page = render_page(p);
  TempFile file(o.html);
  file.write(page, o.html);
  file.place(o.html, o.force);
  std::fprintf(stderr, "memset-report: wrote %s (%s)\n", o.html.c_str(),
               size_text(page.size()).c_str());
}

} // namespace report
