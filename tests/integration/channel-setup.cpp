// Construction: the shared container and what is already at the FIFO paths.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <functional>
#include <string>

#include "FIFOManager.h"
#include "Support/Container.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

namespace fs = std::filesystem;
using testing::ManualMainThread;
using testing::TempDirectory;

// A link that leads nowhere counts as missing: mkfifo is tried, fails on the link, and the link stays.
TEST(ExistingEntries, DanglingLinkIsReportedAndLeftInPlace) {
  TempDirectory container;
  ManualMainThread mainThread;
  const std::string fromMain = container.path() + "/from_main.fifo";
  fs::create_symlink(fromMain + ".nowhere", fromMain);
  ::testing::internal::CaptureStderr();
  FIFOManager channel(testing::environmentFor(container.path(), mainThread));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "mkfifo: File exists\n");
  channel.stop();
  EXPECT_TRUE(fs::is_symlink(fromMain));
  EXPECT_FALSE(fs::exists(fromMain));  // still dangling
  EXPECT_TRUE(fs::is_fifo(channel.toMainPath()));
}

// A directory made private, then given `mode`.
bool madeDirectory(const std::string& path, mode_t mode) {
  return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), mode) == 0;
}

TEST(ContainerSafety, OnlyAPrivateDirectoryOfThisUserIsUsedAndOneOpenToOthersIsMadePrivate) {
  const struct {
    std::string what;
    std::function<bool(const std::string& container)> prepare;  // puts it at the container's path
    bool usable;
    std::string warning;
  } cases[] = {
      {"nothing", [](const std::string&) { return true; }, true, ""},
      {"a private directory", [](const std::string& path) { return madeDirectory(path, 0700); }, true, ""},
      // What a main application running under umask 002 makes.
      {"a group-writable directory", [](const std::string& path) { return madeDirectory(path, 0775); }, true,
       "private (mode 0700): it had mode 0775\n"},
      {"a link to a private directory",
       [](const std::string& path) {
         fs::create_symlink(path + ".real", path);
         return madeDirectory(path + ".real", 0700);
       },
       false, ""},
      {"another user's directory",
       [](const std::string& path) {
         return madeDirectory(path, 0700) && ::chown(path.c_str(), ::geteuid() + 1, ::getegid()) == 0;
       },
       false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDirectory runtime;
    const testing::ScopedRuntimeDirectory variable(runtime.path().c_str());
    const std::string expected = runtime.path() + "/ABCDE12345.group.com.example.test";
    if (!c.prepare(expected)) {
      ASSERT_EQ(errno, EPERM) << "cannot prepare " << c.what;
      continue;  // only root can give a directory away
    }
    ::testing::internal::CaptureStderr();
    const std::optional<std::string> found = appGroupContainerPath("ABCDE12345.group.com.example.test");
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(found, c.usable ? std::optional<std::string>(expected) : std::nullopt);
    EXPECT_EQ(warnings, c.warning.empty() ? "" : "Made " + expected + " " + c.warning);
    struct stat status {};
    EXPECT_TRUE(!found || (::lstat(found->c_str(), &status) == 0 && (status.st_mode & 0777) == 0700));
  }
}

}  // namespace
}  // namespace pellmor
