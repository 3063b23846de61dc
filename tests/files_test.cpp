// Files that appear whole or not at all, and reads that are bounded and
// refuse what is no regular file.

#include "report/sys/errors.hpp"
#include "report/sys/files.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace report;

namespace {

struct Dir {
  std::string path;
  Dir() {
    char t[] = "/tmp/files_test.XXXXXX";
    path = mkdtemp(t);
  }
  ~Dir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string operator/(const std::string &name) const { return path + "/" + name; }
};

std::string text_of(const std::string &path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

size_t entries(const Dir &d) {
  size_t n = 0;
  if (DIR *dir = opendir(d.path.c_str())) {
    while (dirent *e = readdir(dir))
      n += e->d_name[0] != '.';
    closedir(dir);
  }
  return n;
}

TEST(Files, ANewFileIsWholeAndNeverReplacesOne) {
  Dir d;
  write_new_file(d / "a", "first");
  EXPECT_EQ(text_of(d / "a"), "first");
  try {
    write_new_file(d / "a", "second");
    FAIL() << "an existing file was replaced";
  } catch (const InputError &e) {
    EXPECT_NE(std::string(e.what()).find("already exists"), std::string::npos) << e.what();
  }
  EXPECT_EQ(text_of(d / "a"), "first");
  EXPECT_EQ(entries(d), 1u) << "a temporary file was left behind";
}

TEST(Files, AFolderIsHeldByOneSessionAtATime) {
  Dir d;
  {
    FolderLock first(d.path);
    try {
      FolderLock second(d.path);
      FAIL() << "a held folder was taken twice";
    } catch (const InputError &e) {
      EXPECT_NE(std::string(e.what()).find("is in use"), std::string::npos) << e.what();
    }
  }
  FolderLock again(d.path); // released with the first
  EXPECT_THROW(FolderLock(d / "none"), SystemError);
}

TEST(Files, ATemporaryFileGoesUnlessPlacedAndPlacingReplacesOnlyWhenAsked) {
  Dir d;
  std::string kept;
  {
    TempFile t(d / "x");
    kept = t.path();
    t.write("draft", d / "x");
    EXPECT_EQ(text_of(kept), "draft");
  }
  EXPECT_NE(access(kept.c_str(), F_OK), 0) << "an unplaced temporary file stayed";
  write_new_file(d / "x", "old");
  {
    TempFile t(d / "x");
    t.write("new", d / "x");
    EXPECT_THROW(t.place(d / "x", false), InputError);
    EXPECT_EQ(text_of(d / "x"), "old");
    t.place(d / "x", true);
  }
  EXPECT_EQ(text_of(d / "x"), "new");
  EXPECT_EQ(entries(d), 1u);
}

TEST(Files, AReadIsBoundedAndRefusesWhatIsNoRegularFile) {
  Dir d;
  write_new_file(d / "f", "12345");
  EXPECT_EQ(read_regular_file(d / "f", 5, "a test file"), "12345");
  EXPECT_THROW(read_regular_file(d / "f", 4, "a test file"), InputError);
  ASSERT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
  for (const std::string &path : {d / "fifo", d.path, d / "missing"}) {
    try {
      read_regular_file(path, 100, "a test file"); // a FIFO must not hang
      FAIL() << path << " was read";
    } catch (const InputError &e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
}

} // namespace
