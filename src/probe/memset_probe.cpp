// memset-probe: which memset a program started in this environment binds.
// It calls memset through the PLT once, as the benchmark does, then asks the
// dynamic linker where the symbol memset leads: the object that holds the
// code, the code's offset in it, and the object's build ID (which finds the
// C library's detached debug symbols); and the C library it loaded: its
// path, its version as its own banner says it, and its build ID, so that a
// variant run through a library of its own can be checked to have loaded it.
// Prints "key: value" lines; exit 1 where the linker cannot tell.

#include <dlfcn.h>
#include <elf.h>
#include <gnu/libc-version.h>
#include <link.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

struct Found {
  const void *base;
  char build_id[2 * 64 + 1];
};

// The loaded C library: its name as the linker has it, its base, and the
// line of its banner ("GNU C Library (...) stable release version 2.36.").
struct Libc {
  const char *name = nullptr;
  const void *base = nullptr;
  char banner[160] = "";
};

bool is_libc_name(const char *name) {
  const char *slash = std::strrchr(name, '/');
  return std::strcmp(slash ? slash + 1 : name, "libc.so.6") == 0;
}

// Finds libc.so.6 among the loaded objects and its banner in its read-only
// segments: what was loaded, not what a file on disk says now.
int find_libc(dl_phdr_info *info, size_t, void *data) {
  auto *libc = static_cast<Libc *>(data);
  if (!info->dlpi_name || !is_libc_name(info->dlpi_name))
    return 0;
  libc->name = info->dlpi_name;
  libc->base = (const void *)info->dlpi_addr;
  static const char kBanner[] = "GNU C Library ";
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr) &ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_R) || (ph.p_flags & PF_W))
      continue;
    auto *p = reinterpret_cast<const char *>(info->dlpi_addr + ph.p_vaddr);
    auto *at = static_cast<const char *>(memmem(p, ph.p_memsz, kBanner, sizeof kBanner - 1));
    if (!at)
      continue;
    size_t n = 0, room = (size_t)(p + ph.p_memsz - at);
    while (n < room && n + 1 < sizeof libc->banner && at[n] != '\n' && at[n] != '\0')
      n++;
    std::memcpy(libc->banner, at, n);
    libc->banner[n] = '\0';
    break;
  }
  return 1;
}

// The GNU build ID of the loaded object whose base is `found->base`.
int build_id_of(dl_phdr_info *info, size_t, void *data) {
  auto *found = static_cast<Found *>(data);
  if ((const void *)info->dlpi_addr != found->base)
    return 0;
  for (int i = 0; i < info->dlpi_phnum; i++) {
    const ElfW(Phdr) &ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_NOTE)
      continue;
    auto *p = reinterpret_cast<const unsigned char *>(info->dlpi_addr + ph.p_vaddr);
    const unsigned char *end = p + ph.p_memsz;
    while (p + sizeof(ElfW(Nhdr)) <= end) {
      auto *n = reinterpret_cast<const ElfW(Nhdr) *>(p);
      const unsigned char *name = p + sizeof *n;
      const unsigned char *desc = name + ((n->n_namesz + 3) & ~3u);
      if (desc + n->n_descsz > end)
        break;
      if (n->n_type == NT_GNU_BUILD_ID && n->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0 &&
          n->n_descsz <= 64) {
        for (unsigned k = 0; k < n->n_descsz; k++)
          std::snprintf(found->build_id + 2 * k, 3, "%02x", desc[k]);
        return 1;
      }
      p = desc + ((n->n_descsz + 3) & ~3u);
    }
  }
  return 1;
}

} // namespace

int main() {
  // The first call binds memset, lazily through the PLT, as in the benchmark.
  static char buf[64];
  void *(*volatile fill)(void *, int, size_t) = memset;
  fill(buf, 1, sizeof buf);
  memset(buf, 0, sizeof buf);

  void *at = dlsym(RTLD_DEFAULT, "memset");
  Dl_info info;
  if (!at || !dladdr(at, &info) || !info.dli_fname || !info.dli_fbase) {
    std::fprintf(stderr, "memset-probe: the dynamic linker cannot tell where memset leads\n");
    return 1;
  }
  Found found{info.dli_fbase, ""};
  dl_iterate_phdr(build_id_of, &found);
  std::printf("object: %s\noffset: 0x%" PRIxPTR "\nbuild_id: %s\n", info.dli_fname,
              (uintptr_t)at - (uintptr_t)info.dli_fbase, found.build_id);
  Libc libc;
  dl_iterate_phdr(find_libc, &libc);
  if (libc.name) {
    Found libc_id{libc.base, ""};
    dl_iterate_phdr(build_id_of, &libc_id);
    std::printf("libc: %s\nlibc_version: %s\nlibc_build_id: %s\n", libc.name,
                libc.banner[0] ? libc.banner : gnu_get_libc_version(), libc_id.build_id);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
