// Files that appear whole or not at all: temporary names, atomic placing.

#include "report/sys/files.hpp"

#include "report/sys/environment.hpp"
#include "report/sys/errors.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace report {

std::string beside_this_tool(const std::string &name) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? name : (self.parent_path() / name).string();
}

TempFile::TempFile(const std::string &near) {
  std::string tmpl = near + ".tmp-XXXXXX";
  int fd = mkstemp(tmpl.data());
  if (fd < 0)
    throw SystemError(os_error("write", near, errno));
  fchmod(fd, 0644);
  close(fd);
  path_ = tmpl;
}

TempFile::~TempFile() {
  if (!path_.empty())
    unlink(path_.c_str());
}

void TempFile::write(const std::string &content, const std::string &shown) const {
  int fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0)
    throw SystemError(os_error("write", shown, errno));
  size_t off = 0;
  while (off < content.size()) {
    ssize_t n = ::write(fd, content.data() + off, content.size() - off);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      int err = n < 0 ? errno : ENOSPC;
      close(fd);
      throw SystemError(os_error("write", shown, err));
    }
    off += (size_t)n;
  }
  if (fsync(fd) != 0 && errno != EINVAL) {
    int err = errno;
    close(fd);
    throw SystemError(os_error("write", shown, err));
  }
  if (close(fd) != 0)
    throw SystemError(os_error("write", shown, errno));
}

void TempFile::place(const std::string &target, bool replace) {
  if (replace) {
    if (rename(path_.c_str(), target.c_str()) != 0)
      throw SystemError(os_error("write", target, errno));
  } else {
    // link() never replaces: the target appears whole, or the call fails.
    if (link(path_.c_str(), target.c_str()) != 0) {
      if (errno == EEXIST)
        throw InputError("'" + target + "' already exists");
      throw SystemError(os_error("write", target, errno));
    }
    unlink(path_.c_str());
  }
  path_.clear();
}

FolderLock::FolderLock(const std::string &dir)
    : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (fd_ < 0)
    throw SystemError(os_error("lock", dir, errno));
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd_);
    if (err == EWOULDBLOCK)
      throw InputError("'" + dir +
                       "' is in use: another memset-report is adding runs to that campaign; "
                       "let it end (or stop it), then try again");
    throw SystemError(os_error("lock", dir, err));
  }
}

FolderLock::~FolderLock() { ::close(fd_); }

void write_new_file(const std::string &path, const std::string &content) {
  TempFile t(path);
  t.write(content, path);
  t.place(path, false);
}

std::string read_regular_file(const std::string &path, size_t max_bytes, const char *kind) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw InputError(os_error("read", path, errno));
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    throw InputError(os_error("read", path, err));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    throw InputError(path + ": " + (S_ISDIR(st.st_mode) ? "a folder" : "not a regular file") +
                     ", not " + kind);
  }
  std::string text;
  char buf[1 << 16];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0) {
      int err = errno;
      close(fd);
      throw InputError(os_error("read", path, err));
    }
    if (n == 0)
      break;
    text.append(buf, (size_t)n);
    if (text.size() > max_bytes) {
      close(fd);
      throw InputError(path + ": more than " + std::to_string(max_bytes) +
                       " bytes, too large for " + kind);
    }
  }
  close(fd);
  return text;
}

} // namespace report
