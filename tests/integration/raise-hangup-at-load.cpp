// Loaded first into the companion (LD_PRELOAD): raises SIGHUP while the libraries start, before main.

#include <csignal>

namespace {

[[gnu::constructor]] void raiseHangUp() {
  std::raise(SIGHUP);
}

}  // namespace
