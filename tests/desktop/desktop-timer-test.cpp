// The Qt backend's wall-clock timer fires inside a nested event loop: the item's text advances while its
// menu is open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTimer>

#include "Backends/Qt/QtApplication.h"
#include "Support/SystemClock.h"
#include "support/Fakes.h"

namespace pellmor::qt {
namespace {

TEST(QtTimers, FireWhileAMenuIsOpen) {
  int argc = 1;
  char name[] = "desktop-timer-test";
  char* argv[] = {name, nullptr};
  QtApplication application(argc, argv, [] { return std::unique_ptr<platform::StatusBar>(); });
  QMenu menu;
  menu.addAction(QStringLiteral("Toggle Timer"));
  bool firedInMenu = false;
  const auto timer = application.tickers().makeWallClockTimer([&] {
    firedInMenu = menu.isVisible();
    menu.close();
  });
  // Armed once the menu's own loop runs; the give-up closes the menu if the timer never fires.
  QTimer::singleShot(0, [&] { timer->fireAt(SystemClock().now() + 0.1); });
  QTimer::singleShot(testing::patience(), [&] { menu.close(); });
  menu.exec(QPoint(10, 10));
  EXPECT_TRUE(firedInMenu);
}

}  // namespace
}  // namespace pellmor::qt

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
