#pragma once
// A campaign's answer as one self-contained HTML page: the answer first,
// then the ranges with their verdicts and intervals, the plots (inline
// SVG), how each campaign ended and the record. One more renderer of what
// stats/ and advice/ computed: the page computes nothing, and every verdict
// and figure on it is the one the text and the JSON give.

#include "report/stats/mix.hpp"
#include "report/stats/summary.hpp"

#include <string>
#include <vector>

namespace report {

struct Page {
  std::string title;   // what was asked, in a few words
  std::string command; // the command line that made the page
  // Command lines that would measure it again, and then make the page.
  std::vector<std::string> reproduce;
  // What the page shows; either may be absent. Curves: a curve comparison
  // (also a tune or census campaign's, of the same sets); a replay's and a
  // program's runs.
  const Report *curves = nullptr;
  // Many machines: each one's curve report under its name, `about` naming
  // its processor, counter and C library; the text's "across:" lines
  // answer first.
  struct Machine {
    std::string name, about;
    const Report *report;
  };
  std::vector<Machine> machines;
  const MixReport *replay = nullptr, *program = nullptr;
  // The command's text output, whole: the answer's lines (advice, ranking,
  // a mix's verdict, predictions) are taken from it as they are, and the
  // page keeps it all at its end.
  std::string text;
  std::string generated; // UTC, ISO 8601
};

std::string render_page(const Page &p);

// The sets a page shows, in its order: the curves', the machines', the
// replay's, the program's.
std::vector<const Set *> page_sets(const Page &p);

// The first of `sets` of each campaign, in their order, with the
// campaign's name: its folder, or the set's label where it has none.
std::vector<std::pair<std::string, const Set *>>
one_per_campaign(const std::vector<const Set *> &sets);

// The lines of `text` that carry an answer (advice, fastest, ranking, a
// mix's or a program's verdict, per run, predictions, weighted figures), in
// their order: what the page puts first.
std::vector<std::string> answer_lines(const std::string &text);

} // namespace report
