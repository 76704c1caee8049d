// The replacing writer either puts the whole new file in place or leaves the old one.
#include "frame/replacing_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace kqopt {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ReplacingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kqopt_replacing_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  int entries() const { return static_cast<int>(std::distance(fs::directory_iterator(dir_), {})); }
  fs::path dir_;
};

TEST_F(ReplacingFileTest, CommitReplacesTheTargetAndLeavesNoTemporary) {
  const fs::path target = dir_ / "out.txt";
  std::ofstream(target) << "old";
  ReplacingFile f;
  ASSERT_TRUE(f.open(target.string()));
  EXPECT_TRUE(f.write("new "));
  EXPECT_TRUE(f.printf("%d", 42));
  EXPECT_EQ(read_all(target), "old");  // nothing visible before the commit
  EXPECT_TRUE(f.commit());
  EXPECT_EQ(read_all(target), "new 42");
  EXPECT_EQ(entries(), 1);
}

TEST_F(ReplacingFileTest, AbandonedWriteKeepsTheOldFile) {
  const fs::path target = dir_ / "out.txt";
  std::ofstream(target) << "old";
  {
    ReplacingFile f;
    ASSERT_TRUE(f.open(target.string()));
    f.write("partial");
  }
  EXPECT_EQ(read_all(target), "old");
  EXPECT_EQ(entries(), 1);
}

TEST_F(ReplacingFileTest, UnwritableFolderFailsToOpen) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  ReplacingFile f;
  EXPECT_FALSE(f.open((dir_ / "out.txt").string()));
  EXPECT_FALSE(f.write("x"));
  EXPECT_FALSE(f.commit());
}

TEST_F(ReplacingFileTest, SizeLimitFailsTheCommitAndKeepsTheOldFile) {
  const fs::path target = dir_ / "out.txt";
  std::ofstream(target) << "old";
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  ReplacingFile f;
  bool committed = true;
  if (f.open(target.string())) {
    const std::string block(1024, 'x');
    for (int i = 0; i < 16; ++i) f.write(block);
    committed = f.commit();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(committed);
  EXPECT_EQ(read_all(target), "old");
  EXPECT_EQ(entries(), 1);
}

}  // namespace
}  // namespace kqopt
