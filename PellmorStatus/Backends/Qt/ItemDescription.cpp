#include "Backends/Qt/ItemDescription.h"

namespace pellmor::qt {

QString describeInWords(const platform::RenderDescription& description) {
  QString timer = QStringLiteral("Timer stopped; click the button to start it");
  if (description.imageName == "PauseButton")
    timer = QStringLiteral("Timer running; click the button to pause it");
  if (description.imageName == "StopButton")
    timer = QStringLiteral("Timer running; click the button to stop it");
  return QStringLiteral("Pellmor: %1. Shown: %2").arg(timer, QString::fromStdString(description.text));
}

}  // namespace pellmor::qt
