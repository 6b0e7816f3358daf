// The headless event loop's wall-clock timers on the real clock: each fires once, never before its
// instant; re-arming replaces the instant, and a disarmed timer stays silent.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Backends/Headless/HeadlessEventLoop.h"
#include "Support/SystemClock.h"
#include "support/Fakes.h"

namespace pellmor {
namespace {

TEST(HeadlessTimers, FireOnceEachAtTheirLatestInstantAndNeverBefore) {
  HeadlessEventLoop loop;
  const SystemClock clock;
  std::vector<std::string> fired;
  bool early = false;
  auto makeTimer = [&](std::string name, double& instant) {
    return loop.makeWallClockTimer([&, name] {
      fired.push_back(name);
      early = early || clock.now() < instant;
    });
  };
  const double start = clock.now();
  double movedInstant = start + 0.3, disarmedInstant = start + 0.05, sentinelInstant = start + 0.45;
  double giveUpInstant = start + testing::patience().count() / 1000.0;
  const auto moved = makeTimer("moved", movedInstant);
  const auto disarmed = makeTimer("disarmed", disarmedInstant);
  const auto sentinel = makeTimer("sentinel", sentinelInstant);
  const auto giveUp = makeTimer("give up", giveUpInstant);
  moved->fireAt(movedInstant);
  movedInstant = start + 0.1;  // re-armed sooner: the first instant no longer counts
  moved->fireAt(movedInstant);
  disarmed->fireAt(disarmedInstant);
  disarmed->disarm();
  sentinel->fireAt(sentinelInstant);  // after the first instant of "moved", which must stay silent
  giveUp->fireAt(giveUpInstant);

  while (fired.empty() || (fired.back() != "sentinel" && fired.back() != "give up"))
    loop.waitAndDispatch(-1);
  EXPECT_EQ(fired, (std::vector<std::string>{"moved", "sentinel"}));
  EXPECT_FALSE(early);
}

}  // namespace
}  // namespace pellmor
