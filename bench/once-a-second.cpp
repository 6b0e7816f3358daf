// The bare Qt program the wake-up benchmark measures the companion against: a GUI application on the same
// platform whose only work is a timer that fires once a second, as a label refreshed every second would.

#include <QGuiApplication>
#include <QTimer>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  QTimer timer;
  timer.setInterval(1000);
  timer.start();
  return QGuiApplication::exec();
}
