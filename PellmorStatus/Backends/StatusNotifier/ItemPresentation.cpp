#include "Backends/StatusNotifier/ItemPresentation.h"

#include <QImage>
#include <cmath>

#include "Backends/Qt/ItemDescription.h"
#include "Backends/Qt/ItemPainter.h"

namespace pellmor::sni {
namespace {

QSize pixelsOf(platform::Size size) {
  return QSize(static_cast<int>(std::ceil(size.width)), static_cast<int>(std::ceil(size.height)));
}

IconPixmapList iconOf(const platform::HostedContent& content, const platform::RenderDescription& fullRow) {
  IconPixmapList icon;
  for (int side : compactIconSizes) {
    const platform::Size cell{static_cast<double>(side), static_cast<double>(side)};
    icon.push_back(iconPixmapFrom(qt::renderItemImage(content.render(cell), QSize(side, side), 1.0)));
  }
  icon.push_back(iconPixmapFrom(qt::renderItemImage(fullRow, pixelsOf(fullRow.size), fullRowScale)));
  return icon;
}

}  // namespace

Presentation presentationOf(const platform::HostedContent& content) {
  const platform::RenderDescription fullRow = content.render();
  const QString words = qt::describeInWords(fullRow);
  Presentation presentation;
  presentation.title = words;
  presentation.toolTip = ToolTip{{}, {}, words, {}};
  presentation.label = QString::fromStdString(fullRow.text);
  // As wide as the widest text the segment shows, so a host that reserves room never has to grow.
  presentation.labelGuide = QStringLiteral("Sign In");
  presentation.icon = iconOf(content, fullRow);
  for (const platform::MenuEntry& entry : content.menu())
    presentation.menuEntries.push_back(QString::fromStdString(entry.title));
  return presentation;
}

}  // namespace pellmor::sni
