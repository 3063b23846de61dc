// The engines, and a run file of either.

#include "report/formats/engine.hpp"

#include "report/formats/program_file.hpp"
#include "report/sys/files.hpp"

#include <algorithm>

namespace report {

const char *engine_name(Engine e) { return e == Engine::Batch ? "memset-batch" : "memset-bench"; }

const char *engine_option(Engine e) { return e == Engine::Batch ? "batch" : "bench"; }

const char *engine_measures(Engine e) {
  return e == Engine::Batch
             ? "the throughput of back-to-back calls between fenced readings, net of the "
               "readings: each value the faster of two batches of at least 1000 counter steps"
             : "one call at a time between unfenced counter readings, 8 calls a length";
}

std::optional<Engine> engine_named(const std::string &name) {
  for (Engine e : {Engine::Bench, Engine::Batch})
    if (name == engine_name(e) || name == engine_option(e))
      return e;
  return std::nullopt;
}

double engine_scale(Engine e) { return e == Engine::Batch ? kBatchScale : 1; }

RunFile read_run_file(const std::string &path) {
  std::string text =
      read_regular_file(path, std::max(kMaxResultBytes, kMaxBatchBytes), "a result file");
  RunFile f;
  if (is_program_text(text)) {
    ProgramRun p = parse_program(text, path);
    f.program = true;
    f.values = {p.wall_us, p.cpu_us};
  } else if (is_batch_text(text)) {
    BatchRun b = parse_batch(text, path);
    f.engine = Engine::Batch;
    f.values = std::move(b.values);
    f.batch = b.header;
  } else {
    if (text.size() > kMaxResultBytes)
      throw InputError(path + ": more than " + std::to_string(kMaxResultBytes) +
                       " bytes, not a result file");
    f.values = parse_result(text, path);
  }
  return f;
}

} // namespace report
