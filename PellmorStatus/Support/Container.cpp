#include "Support/Container.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace pellmor {
namespace {

// Creates the directory with mode 0700 when missing, then accepts it only when it is a directory (not a
// symlink to one) owned by this user that nobody else can write: the FIFOs inside carry commands.
bool ensurePrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return false;
  return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
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

std::optional<std::string> runtimeDirectory() {
  const char* configured = std::getenv("XDG_RUNTIME_DIR");
  if (configured != nullptr && *configured != '\0') return std::string(configured);
  std::string fallback = fallbackRuntimeDirectory();
  warnAboutFallback(fallback);
  if (!ensurePrivateDirectory(fallback)) return std::nullopt;
  return fallback;
}

}  // namespace

std::optional<std::string> appGroupContainerPath(std::string_view appGroupIdentifier) {
  if (!isPlainName(appGroupIdentifier)) return std::nullopt;
  std::optional<std::string> runtime = runtimeDirectory();
  if (!runtime) return std::nullopt;
  while (runtime->size() > 1 && runtime->back() == '/')
    runtime->pop_back();
  std::string container = *runtime + "/" + std::string(appGroupIdentifier);
  if (!ensurePrivateDirectory(container)) return std::nullopt;
  return container;
}

}  // namespace pellmor
