#include "Backends/Qt/ClickLimiter.h"

#include <algorithm>
#include <cstdio>

namespace pellmor::qt {

bool ClickLimiter::admit(Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - refilled_).count();
  tokens_ = std::min(burst, tokens_ + seconds * refillPerSecond);
  refilled_ = now;
  if (tokens_ >= 1) {
    tokens_ -= 1;
    // A full bucket again means the flood is over: the next one is reported anew.
    if (tokens_ >= burst - 1) dropping_ = false;
    return true;
  }
  if (!dropping_) {
    std::fprintf(stderr, "PellmorStatus: too many clicks from %s; dropping some\n", source_);
    std::fflush(stderr);
    dropping_ = true;
  }
  return false;
}

}  // namespace pellmor::qt
