// unhide_symbol OBJECT NAME
//
// A build helper: gives the global symbol NAME of an ELF64 relocatable
// OBJECT default visibility, in place, changing nothing else. LLVM's libc
// builds its entry points with hidden visibility, so a shared library made
// of its memset object would export no memset and a preload of it would
// silently leave glibc's in place. Exit 0 when NAME is now visible, 1 when
// the file is no such object or holds no such symbol, 2 on a usage error.

#include <cstdio>
#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unhide_symbol OBJECT NAME\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto fail = [&](const char *why) {
    std::fprintf(stderr, "unhide_symbol: %s: %s\n", argv[1], why);
    return 1;
  };
  if (b.size() < sizeof(Elf64_Ehdr) || std::memcmp(b.data(), ELFMAG, SELFMAG) != 0 ||
      b[EI_CLASS] != ELFCLASS64)
    return fail("not an ELF64 file");
  Elf64_Ehdr eh;
  std::memcpy(&eh, b.data(), sizeof eh);
  if (eh.e_shoff + (size_t)eh.e_shnum * sizeof(Elf64_Shdr) > b.size())
    return fail("section headers beyond the file");
  auto section = [&](size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, b.data() + eh.e_shoff + i * sizeof sh, sizeof sh);
    return sh;
  };
  int changed = 0;
  for (size_t i = 0; i < eh.e_shnum; i++) {
    Elf64_Shdr sh = section(i);
    if (sh.sh_type != SHT_SYMTAB || sh.sh_link >= eh.e_shnum)
      continue;
    Elf64_Shdr strtab = section(sh.sh_link);
    if (sh.sh_offset + sh.sh_size > b.size() || strtab.sh_offset + strtab.sh_size > b.size())
      return fail("a symbol table beyond the file");
    for (size_t off = 0; off + sizeof(Elf64_Sym) <= sh.sh_size; off += sizeof(Elf64_Sym)) {
      Elf64_Sym sym;
      char *at = b.data() + sh.sh_offset + off;
      std::memcpy(&sym, at, sizeof sym);
      if (sym.st_name >= strtab.sh_size || ELF64_ST_BIND(sym.st_info) == STB_LOCAL)
        continue;
      const char *name = b.data() + strtab.sh_offset + sym.st_name;
      if (std::strncmp(name, argv[2], strtab.sh_size - sym.st_name) != 0)
        continue;
      sym.st_other = (unsigned char)((sym.st_other & ~3) | STV_DEFAULT);
      std::memcpy(at, &sym, sizeof sym);
      changed++;
    }
  }
  if (!changed)
    return fail((std::string("no global symbol ") + argv[2]).c_str());
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(b.data(), (std::streamsize)b.size());
  if (!out.flush())
    return fail("cannot write it back");
  return 0;
}
