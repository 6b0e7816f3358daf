// Construction: the shared container, what is already at the FIFO paths, and the fatal stop.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FIFOManager.h"
#include "Support/Container.h"
#include "support/Channel.h"

namespace pellmor {
namespace {

namespace fs = std::filesystem;
using testing::ManualMainThread;
using testing::RecordingSyscalls;
using testing::ScopedRuntimeDirectory;
using testing::TempDirectory;

enum class Entry { none, fifo, file, directory, dangling };

void makeEntry(const std::string& path, Entry entry) {
  if (entry == Entry::fifo && ::mkfifo(path.c_str(), 0600) != 0) FAIL() << "mkfifo " << path;
  if (entry == Entry::file) std::ofstream(path) << "keep me\n";
  if (entry == Entry::directory) fs::create_directory(path);
  if (entry == Entry::dangling) fs::create_symlink(path + ".nowhere", path);
}

// What construction leaves at a path: "fifo", "file:<content>", "directory", "symlink" or "none".
std::string describe(const std::string& path) {
  const fs::file_type type = fs::symlink_status(path).type();
  if (type == fs::file_type::fifo) return "fifo";
  if (type == fs::file_type::directory) return "directory";
  if (type == fs::file_type::symlink) return "symlink";
  if (type != fs::file_type::regular) return "none";
  std::ifstream file(path);
  return "file:" + std::string(std::istreambuf_iterator<char>(file), {});
}

const std::string readFailure = "Failed to open FIFO for reading\n";
const std::string writeFailures = "Failed to open FIFO for writing\nFailed to open FIFO for writing\n";
const std::string exists = "mkfifo: File exists\n";

// Whatever is at a FIFO path is used unchanged, and a failed mkfifo is reported with perror. A link that
// leads nowhere counts as missing: mkfifo is tried, fails on the link, and the link stays.
TEST(ExistingEntries, AreUsedUnchanged) {
  using enum Entry;
  const struct {
    Entry toMain, fromMain;
    std::string toMainAfter, fromMainAfter;
    std::string printed = "";  // by the reader and by two sends
    std::string errors = "";   // on standard error, during construction
    int toMainMkfifoError = 0;
  } cases[] = {
      {none, none, "fifo", "fifo"},
      {fifo, none, "fifo", "fifo"},
      {fifo, file, "fifo", "file:keep me\n", readFailure},
      {fifo, dangling, "fifo", "symlink", readFailure, exists},
      {directory, none, "directory", "fifo", writeFailures},
      {dangling, fifo, "symlink", "fifo", writeFailures, exists},
      {none, none, "none", "fifo", writeFailures, "mkfifo: Permission denied\n", EACCES},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.toMainAfter + " at to_main, " + c.fromMainAfter + " at from_main");
    TempDirectory container;
    ManualMainThread mainThread;
    RecordingSyscalls syscalls;
    if (c.toMainMkfifoError != 0) syscalls.failNext("mkfifo", c.toMainMkfifoError, 1, "to_main");
    makeEntry(container.path() + "/to_main.fifo", c.toMain);
    makeEntry(container.path() + "/from_main.fifo", c.fromMain);

    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    FIFOManager channel(testing::environmentFor(container.path(), mainThread, {}, &syscalls));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.errors);
    std::optional<testing::MainAppReader> reader;
    if (c.toMainAfter == "fifo") reader.emplace(channel.toMainPath());
    channel.sendToggleTimerMessage();
    channel.sendToggleAppMessage();
    // The second open means the first send is done; stop() waits for the second and joins the reader.
    ASSERT_TRUE(syscalls.waitForCount("open", 2, "to_main"));
    if (reader) {
      EXPECT_EQ(reader->readLines(2).size(), 2u);
    }
    channel.stop();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
    EXPECT_EQ(describe(channel.toMainPath()), c.toMainAfter);
    EXPECT_EQ(describe(channel.fromMainPath()), c.fromMainAfter);
  }
}

const std::string groupId = "ABCDE12345.group.com.example.test";

// A directory made private, then given `mode`.
bool madeDirectory(const std::string& path, mode_t mode) {
  return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), mode) == 0;
}

TEST(ContainerSafety, OnlyAPrivateDirectoryIsUsed) {
  const struct {
    std::string name;
    // Makes what the row needs at the container's path; false when this machine cannot.
    std::function<bool(const std::string& container)> prepare;
    bool usable;
  } cases[] = {
      {groupId, [](const std::string&) { return true; }, true},  // missing: created
      {groupId, [](const std::string& path) { return madeDirectory(path, 0700); },
       true},  // existing, private
      {groupId, [](const std::string& path) { return madeDirectory(path, 0770); }, false},  // group-writable
      {groupId,  // a link to a private directory
       [](const std::string& path) {
         fs::create_symlink(path + ".real", path);
         return madeDirectory(path + ".real", 0700);
       },
       false},
      {groupId,  // a regular file
       [](const std::string& path) { return static_cast<bool>(std::ofstream(path) << "x"); }, false},
      {groupId,  // someone else's
       [](const std::string& path) {
         return madeDirectory(path, 0700) && ::chown(path.c_str(), ::geteuid() + 1, ::getegid()) == 0;
       },
       false},
      {"../escape", [](const std::string&) { return true; }, false},  // names with a separator, or none
      {"", [](const std::string&) { return true; }, false},
  };
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const auto& c = cases[row];
    TempDirectory runtime;
    const ScopedRuntimeDirectory variable(runtime.path().c_str());
    const std::string expected = runtime.path() + "/" + c.name;
    if (!c.prepare(expected)) continue;  // giving a directory away needs privileges
    const std::optional<std::string> found = appGroupContainerPath(c.name);
    EXPECT_EQ(found, c.usable ? std::optional<std::string>(expected) : std::nullopt);
    struct stat status {};
    if (found && ::lstat(found->c_str(), &status) == 0) {
      EXPECT_EQ(status.st_mode & 0777, 0700u);
    }
  }
}

TEST(ContainerFallback, UnsetRuntimeDirectoryUsesPrivateTmpDirectoryAndWarnsOnce) {
  const std::string fallback = "/tmp/runtime-" + std::to_string(::geteuid());
  const std::string unique = groupId + "." + std::to_string(::getpid());
  const ScopedRuntimeDirectory noVariable(nullptr);
  ::testing::internal::CaptureStderr();
  const auto unset = appGroupContainerPath(unique);
  const ScopedRuntimeDirectory empty("");
  EXPECT_EQ(appGroupContainerPath(unique), fallback + "/" + unique);
  EXPECT_EQ(unset, fallback + "/" + unique);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "XDG_RUNTIME_DIR is not set; using " + fallback + " instead\n");
  fs::remove(fallback + "/" + unique);
}

TEST(FatalStop, MissingContainerEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ManualMainThread mainThread;
  FIFOManager::Environment environment;
  environment.containerLookup = [] { return std::optional<std::string>(); };
  environment.mainThread = &mainThread;
  EXPECT_DEATH(FIFOManager{environment},
               "^PellmorStatus/FIFOManager:14: Fatal error: Could not find App Group container\n$");
}

}  // namespace
}  // namespace pellmor
