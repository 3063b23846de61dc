#pragma once
// Three machines whose answer is known, for the tests of verdicts across
// machines (advice) and of their words (render): on alpha and beta, b
// costs 1.3 times a everywhere; on gamma, only from 1024 bytes.

#include "report/advice/machines.hpp"
#include "synthetic.hpp"

#include <functional>
#include <string>

namespace report::synthetic {

inline Machine known_machine(const std::string &name, std::function<double(size_t)> b,
                             unsigned seed) {
  Set a = make_set("a", 12, one, {}, seed, name), s = make_set("b", 12, b, {}, seed + 1, name);
  Machine m;
  m.id.name = name;
  m.report = build_report({a, s}, {});
  return m;
}

inline std::vector<Machine> three_machines() {
  auto everywhere = [](size_t) { return 1.3; };
  auto from_1k = [](size_t len) { return len >= 1024 ? 1.3 : 1.0; };
  return {known_machine("alpha", everywhere, 1), known_machine("beta", everywhere, 3),
          known_machine("gamma", from_1k, 5)};
}

} // namespace report::synthetic
