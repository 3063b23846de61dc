#pragma once
// Independent jobs spread over a few threads.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace report {

// At most this many threads: reading and summarising are bound by memory
// as much as by the cores, and these machines have two to four of them.
constexpr unsigned kMaxWorkers = 4;

// Calls job(i) for every i below `count`, on up to kMaxWorkers threads.
// Where jobs throw, the exception of the lowest i is rethrown after all
// have ended, so the failure reported does not depend on timing.
template <typename Job> void for_each_parallel(size_t count, const Job &job) {
  size_t workers = std::max(1u, std::min(kMaxWorkers, std::thread::hardware_concurrency()));
  std::vector<std::exception_ptr> errors(count);
  std::vector<std::thread> threads;
  for (size_t w = 0; w < std::min(workers, count); w++)
    threads.emplace_back([&, w] {
      for (size_t i = w; i < count; i += workers) {
        try {
          job(i);
        } catch (...) {
          errors[i] = std::current_exception();
        }
      }
    });
  for (auto &t : threads)
    t.join();
  for (const auto &e : errors)
    if (e)
      std::rethrow_exception(e);
}

} // namespace report
