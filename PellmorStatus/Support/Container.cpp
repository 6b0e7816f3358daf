#include "Support/Container.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "Support/FileDescriptor.h"

namespace pellmor {
namespace {

constexpr mode_t privateMode = 0700;

// Opens the directory itself, never a link to one, and checks the open directory: no other path can be
// swapped in between the check and the change of mode.
FileDescriptor openOwnDirectory(const std::string& path) {
  FileDescriptor directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!directory || ::fstat(directory.get(), &status) != 0 || status.st_uid != ::geteuid()) return {};
  return directory;
}

mode_t modeOf(const FileDescriptor& directory) {
  struct stat status {};
  return ::fstat(directory.get(), &status) == 0 ? status.st_mode & 07777 : 07777;
}

// The FIFOs inside carry commands and clicks: only this user may reach them.
bool makePrivate(const std::string& path, const FileDescriptor& directory) {
  const mode_t mode = modeOf(directory);
  if ((mode & 077) == 0) return true;
  if (::fchmod(directory.get(), privateMode) != 0) return false;
  std::fprintf(stderr, "Made %s private (mode 0700): it had mode %04o\n", path.c_str(),
               static_cast<unsigned>(mode));
  return true;
}

bool ensurePrivateDirectory(const std::string& path, ContainerAccess access) {
  if (access == ContainerAccess::create && ::mkdir(path.c_str(), privateMode) != 0 && errno != EEXIST)
    return false;
  const FileDescriptor directory = openOwnDirectory(path);
  if (!directory) return false;
  if (access == ContainerAccess::findExisting) return (modeOf(directory) & 077) == 0;
  return makePrivate(path, directory);
}

bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

std::optional<std::string> configuredRuntimeDirectory() {
  const char* configured = std::getenv("XDG_RUNTIME_DIR");
  if (configured == nullptr || *configured == '\0') return std::nullopt;
  return std::string(configured);
}

std::string fallbackRuntimeDirectory() {
  return "/tmp/runtime-" + std::to_string(::geteuid());
}

// XDG Base Directory asks for a warning when the fallback directory is used; one per process is enough.
void warnAboutFallback(const std::string& fallback) {
  static std::once_flag warned;
  std::call_once(warned, [&fallback] {
    std::fprintf(stderr, "XDG_RUNTIME_DIR is not set; using %s instead\n", fallback.c_str());
  });
}

std::optional<std::string> runtimeDirectory(ContainerAccess access) {
  if (std::optional<std::string> configured = configuredRuntimeDirectory()) return configured;
  std::string fallback = fallbackRuntimeDirectory();
  warnAboutFallback(fallback);
  if (!ensurePrivateDirectory(fallback, access)) return std::nullopt;
  return fallback;
}

}  // namespace

std::optional<std::string> adoptRuntimeDirectory() {
  if (std::optional<std::string> configured = configuredRuntimeDirectory()) return configured;
  std::optional<std::string> fallback = runtimeDirectory(ContainerAccess::create);
  if (fallback) ::setenv("XDG_RUNTIME_DIR", fallback->c_str(), 1);
  return fallback;
}

std::optional<std::string> appGroupContainerPath(std::string_view appGroupIdentifier,
                                                 ContainerAccess access) {
  if (!isPlainName(appGroupIdentifier)) return std::nullopt;
  std::optional<std::string> runtime = runtimeDirectory(access);
  if (!runtime) return std::nullopt;
  while (runtime->size() > 1 && runtime->back() == '/')
    runtime->pop_back();
  std::string container = *runtime + "/" + std::string(appGroupIdentifier);
  if (!ensurePrivateDirectory(container, access)) return std::nullopt;
  return container;
}

}  // namespace pellmor
