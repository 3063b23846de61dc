#pragma once
// Files that appear whole or not at all: temporary names, atomic placing.

#include <cstddef>
#include <string>

namespace report {

// A file created under a fresh name beside `near` ("near.tmp-XXXXXX"),
// removed when this goes out of scope unless it was placed.
class TempFile {
public:
  explicit TempFile(const std::string &near);
  ~TempFile();
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  const std::string &path() const { return path_; }
  // Writes `content` into it; `shown` is the name errors give.
  void write(const std::string &content, const std::string &shown) const;
  // Moves it to `target`. Without `replace`, an existing target is kept and
  // this fails with "already exists". Errors name `target`.
  void place(const std::string &target, bool replace);

private:
  std::string path_;
};

// A campaign folder held by this process while it adds runs there, so that
// a second one (`run --more` while the first runs) is refused instead of
// writing runs under the same names. The kernel drops it when the process
// ends, however it ends. An InputError where another process holds it.
class FolderLock {
public:
  explicit FolderLock(const std::string &dir);
  ~FolderLock();
  FolderLock(const FolderLock &) = delete;
  FolderLock &operator=(const FolderLock &) = delete;

private:
  int fd_;
};

// Writes a new file whole: refuses an existing one, leaves nothing on failure.
void write_new_file(const std::string &path, const std::string &content);

// The whole of a regular file of at most `max_bytes`. It is opened without
// blocking, so a FIFO never hangs the reader, and anything that is not a
// regular file (a FIFO, a device, a folder) is refused, as is a file that
// grows past the bound while it is read. Errors are InputErrors that name
// `path` and say what `kind` of file was expected ("a result file").
std::string read_regular_file(const std::string &path, size_t max_bytes, const char *kind);

} // namespace report
