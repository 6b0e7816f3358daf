#include "Backends/StatusNotifier/StatusNotifierHost.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <array>
#include <utility>

namespace pellmor::sni {
namespace {

// Small files of the process's own: read in one go, at most a few kilobytes.
QByteArray readProcFile(unsigned pid, const char* name) {
  constexpr qint64 enough = 4096;
  QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
  return file.open(QIODevice::ReadOnly) ? file.read(enough) : QByteArray();
}

}  // namespace

StatusNotifierHost hostOfProcess(unsigned pid) {
  // The kernel keeps the first 15 bytes of the executable's name.
  const QByteArray name = readProcFile(pid, "comm").trimmed();
  static constexpr std::array<std::pair<const char*, StatusNotifierHost>, 9> names{{
      {"gnome-shell", StatusNotifierHost::gnomeShell},
      {"kded5", StatusNotifierHost::plasma},
      {"plasmashell", StatusNotifierHost::plasma},
      {"xfce4-panel", StatusNotifierHost::xfcePanel},
      {"waybar", StatusNotifierHost::waybar},
      {"swaybar", StatusNotifierHost::swaybar},
      {"lxqt-panel", StatusNotifierHost::lxqtPanel},
      {"mate-panel", StatusNotifierHost::matePanel},
      {"notification-ar", StatusNotifierHost::matePanel},  // mate's notification area applet
  }};
  for (const auto& [known, host] : names) {
    if (name == known) return host;
  }
  // xfce4-panel runs its systray plugin in a wrapper process that it names after the plugin
  // ("panel-6-systray"): the wrapper's command line says what it runs.
  const QByteArray commandLine = readProcFile(pid, "cmdline");
  if (commandLine.contains("/xfce4/panel/wrapper") && commandLine.contains("libsystray"))
    return StatusNotifierHost::xfcePanel;
  return StatusNotifierHost::unknown;
}

}  // namespace pellmor::sni
