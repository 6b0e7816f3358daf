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

struct EntryCase {
  const char* name;
  Entry toMain;
  Entry fromMain;
  std::vector<std::string> mkfifoCalls;
  std::string toMainAfter;
  std::string fromMainAfter;
  std::string printed = "";  // by the reader and by two sends
  std::string errors = "";   // on standard error, during construction
};

class ExistingEntries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ExistingEntries, AreUsedUnchanged) {
  TempDirectory container;
  ManualMainThread mainThread;
  RecordingSyscalls syscalls;
  makeEntry(container.path() + "/to_main.fifo", GetParam().toMain);
  makeEntry(container.path() + "/from_main.fifo", GetParam().fromMain);

  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  FIFOManager channel(testing::environmentFor(container.path(), mainThread, {}, &syscalls));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), GetParam().errors);
  std::optional<testing::MainAppReader> reader;
  if (GetParam().toMain == Entry::none || GetParam().toMain == Entry::fifo)
    reader.emplace(channel.toMainPath());
  channel.sendToggleTimerMessage();
  channel.sendToggleAppMessage();
  // The second open means the first send is done; stop() waits for the second and joins the reader.
  ASSERT_TRUE(syscalls.waitForCount("open", 2, "to_main"));
  if (reader) {
    EXPECT_EQ(reader->readLines(2).size(), 2u);
  }
  channel.stop();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), GetParam().printed);

  std::vector<std::string> created;
  for (const std::string& path : syscalls.details("mkfifo"))
    created.push_back(fs::path(path).filename());
  EXPECT_EQ(created, GetParam().mkfifoCalls);
  EXPECT_EQ(describe(channel.toMainPath()), GetParam().toMainAfter);
  EXPECT_EQ(describe(channel.fromMainPath()), GetParam().fromMainAfter);
}

const std::string readFailure = "Failed to open FIFO for reading\n";
const std::string writeFailures = "Failed to open FIFO for writing\nFailed to open FIFO for writing\n";
const std::string exists = "mkfifo: File exists\n";
using enum Entry;

// A link that leads nowhere counts as missing: mkfifo is tried, fails on the link, and the link stays.
const EntryCase entryCases[] = {
    {"neither", none, none, {"to_main.fifo", "from_main.fifo"}, "fifo", "fifo"},
    {"only_to_main", fifo, none, {"from_main.fifo"}, "fifo", "fifo"},
    {"file_at_from_main", fifo, file, {}, "fifo", "file:keep me\n", readFailure},
    {"dangling_at_from_main", fifo, dangling, {"from_main.fifo"}, "fifo", "symlink", readFailure, exists},
    {"directory_at_to_main", directory, none, {"from_main.fifo"}, "directory", "fifo", writeFailures},
    {"dangling_at_to_main", dangling, fifo, {"to_main.fifo"}, "symlink", "fifo", writeFailures, exists},
};

INSTANTIATE_TEST_SUITE_P(Kinds, ExistingEntries, ::testing::ValuesIn(entryCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FifoCreation, FailureIsReportedWithPerrorAndConstructionGoesOn) {
  TempDirectory container;
  ManualMainThread mainThread;
  RecordingSyscalls syscalls;
  syscalls.failNext("mkfifo", EACCES, 1, "to_main");
  syscalls.failNext("mkfifo", EEXIST, 1, "from_main");
  ::testing::internal::CaptureStderr();
  FIFOManager channel(testing::environmentFor(container.path(), mainThread, {}, &syscalls));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "mkfifo: Permission denied\nmkfifo: File exists\n");
  EXPECT_TRUE(channel.isConnected());
}

constexpr const char* groupId = "ABCDE12345.group.com.example.test";

struct ContainerCase {
  const char* name;
  // Makes what the case needs at the container's path; false when this machine cannot.
  std::function<bool(const std::string& container)> prepare;
  bool usable;
};

class ContainerSafety : public ::testing::TestWithParam<ContainerCase> {};

TEST_P(ContainerSafety, OnlyAPrivateDirectoryIsUsed) {
  TempDirectory runtime;
  const ScopedRuntimeDirectory variable(runtime.path().c_str());
  const std::string expected = runtime.path() + "/" + groupId;
  if (!GetParam().prepare(expected)) GTEST_SKIP() << "giving a directory away needs privileges";
  const std::optional<std::string> found = appGroupContainerPath(groupId);
  EXPECT_EQ(found, GetParam().usable ? std::optional<std::string>(expected) : std::nullopt);
  if (found) {
    struct stat status {};
    ASSERT_EQ(::lstat(found->c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
  }
}

// A directory made private, then given `mode`.
bool madeDirectory(const std::string& path, mode_t mode) {
  return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), mode) == 0;
}

const ContainerCase containerCases[] = {
    {"missing_is_created", [](const std::string&) { return true; }, true},
    {"existing_private", [](const std::string& path) { return madeDirectory(path, 0700); }, true},
    {"group_writable", [](const std::string& path) { return madeDirectory(path, 0770); }, false},
    {"symlink_to_private_directory",
     [](const std::string& path) {
       fs::create_symlink(path + ".real", path);
       return madeDirectory(path + ".real", 0700);
     },
     false},
    {"regular_file", [](const std::string& path) { return static_cast<bool>(std::ofstream(path) << "x"); },
     false},
    {"owned_by_someone_else",
     [](const std::string& path) {
       return madeDirectory(path, 0700) && ::chown(path.c_str(), ::geteuid() + 1, ::getegid()) == 0;
     },
     false},
};

INSTANTIATE_TEST_SUITE_P(Cases, ContainerSafety, ::testing::ValuesIn(containerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ContainerSafety, NameWithASeparatorIsRefused) {
  TempDirectory runtime;
  const ScopedRuntimeDirectory variable(runtime.path().c_str());
  EXPECT_EQ(appGroupContainerPath("../escape"), std::nullopt);
  EXPECT_EQ(appGroupContainerPath(""), std::nullopt);
}

TEST(ContainerFallback, UnsetRuntimeDirectoryUsesPrivateTmpDirectoryAndWarnsOnce) {
  const std::string fallback = "/tmp/runtime-" + std::to_string(::geteuid());
  const std::string unique = std::string(groupId) + "." + std::to_string(::getpid());
  const ScopedRuntimeDirectory unset(nullptr);
  ::testing::internal::CaptureStderr();
  const auto first = appGroupContainerPath(unique);
  const auto second = appGroupContainerPath(unique);
  {
    const ScopedRuntimeDirectory empty("");
    EXPECT_EQ(appGroupContainerPath(unique), fallback + "/" + unique);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "XDG_RUNTIME_DIR is not set; using " + fallback + " instead\n");
  EXPECT_EQ(first, fallback + "/" + unique);
  EXPECT_EQ(second, first);
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
