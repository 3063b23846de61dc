// Fuzzes what is read of a C library's own programs: memset-probe's output,
// a loader's tunables listing and a build tree's testrun.sh. Reading never
// fails, and what is read is well formed: a probe's offset is hexadecimal,
// and every folder of a library path is absolute and holds no ':'.

#include "report/campaign/binding.hpp"
#include "report/campaign/libc_tree.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  if (auto code = report::parse_probe(text))
    if (code->offset.rfind("0x", 0) != 0 || code->object.empty())
      std::abort();
  if (auto libc = report::parse_probe_libc(text))
    if (libc->path.empty())
      std::abort();
  report::parse_tunables(text);
  for (const auto &dir : report::testrun_library_path(text, "/build"))
    if (dir.empty() || dir[0] != '/' || dir.find(':') != std::string::npos)
      std::abort();
  return 0;
}
