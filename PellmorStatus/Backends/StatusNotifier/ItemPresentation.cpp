#include "Backends/StatusNotifier/ItemPresentation.h"

#include <QImage>
#include <cmath>
#include <span>

#include "Backends/Qt/ItemPainter.h"

namespace pellmor::sni {
namespace {

// One pixmap of IconPixmap: the content's form for a square cell of `side` pixels, or the whole row
// (side 0), drawn at `scale` device pixels per pixel.
struct IconRendition {
  int side = 0;
  double scale = 1.0;
};
constexpr int row = 0;

// Hosts that pick by size get the compact squares they commonly ask for at 1x, the 33 px square of a
// 22 px icon at scale 1.5 (Plasma's where the fonts are at 144 dpi), and for scale 2 and 3 the squares
// of the common 22 and 32 px icons and the largest 64 px one (44, 66, 96, 128 pixels). A host scales the
// nearest larger pixmap down to a size it has none of, which blurs the text.
constexpr IconRendition squaresBySize[] = {{16, 1}, {22, 1}, {24, 1}, {32, 1}, {33, 1}, {48, 1},
                                           {64, 1}, {22, 2}, {22, 3}, {32, 3}, {64, 2}};
// The whole row three times as high as a 32 px bar's icon: a host that keeps the aspect ratio and takes
// the largest pixmap (waybar) only ever scales it down.
constexpr IconRendition wholeRow[] = {{row, 6}};
// GNOME Shell draws a 16 px icon (times the output's scale) with the label beside it.
constexpr IconRendition besideLabel[] = {{16, 1}, {16, 2}, {16, 3}};
// xfce4-panel fits the largest pixmap into its square icon size (22 by default): one square, drawn for it.
constexpr IconRendition xfceSquare[] = {{22, 1}};
// A host this program does not know gets every square, and the row last for one that keeps the aspect.
constexpr IconRendition everything[] = {{16, 1}, {22, 1}, {24, 1}, {32, 1}, {33, 1}, {48, 1},
                                        {64, 1}, {22, 2}, {22, 3}, {32, 3}, {64, 2}, {row, 6}};

std::span<const IconRendition> renditionsFor(StatusNotifierHost host) {
  switch (host) {
    case StatusNotifierHost::waybar:
      return wholeRow;
    case StatusNotifierHost::gnomeShell:
      return besideLabel;
    case StatusNotifierHost::xfcePanel:
      return xfceSquare;
    case StatusNotifierHost::plasma:
    case StatusNotifierHost::swaybar:
    case StatusNotifierHost::lxqtPanel:
    case StatusNotifierHost::matePanel:
      return squaresBySize;
    case StatusNotifierHost::unknown:
      break;
  }
  return everything;
}

QSize pixelsOf(platform::Size size) {
  return QSize(static_cast<int>(std::ceil(size.width)), static_cast<int>(std::ceil(size.height)));
}

qt::ItemImageRequest requestOf(const platform::HostedContent& content, IconRendition rendition) {
  if (rendition.side == row) {
    const platform::RenderDescription fullRow = content.render();
    return qt::ItemImageRequest{fullRow, pixelsOf(fullRow.size), rendition.scale};
  }
  const double side = rendition.side;
  return qt::ItemImageRequest{content.render({side, side}, rendition.scale),
                              QSize(rendition.side, rendition.side), rendition.scale};
}

// The state without the total, so the title changes only when the state does.
QString stateInWords(const platform::RenderDescription& fullRow) {
  if (fullRow.text == "Sign In") return QStringLiteral("Pellmor: Signed out");
  if (fullRow.imageName == "PauseButton" || fullRow.imageName == "StopButton")
    return QStringLiteral("Pellmor: Timer running");
  return QStringLiteral("Pellmor: Timer stopped");
}

QString timerVerb(const platform::RenderDescription& fullRow) {
  if (fullRow.imageName == "PauseButton") return QStringLiteral("pause");
  if (fullRow.imageName == "StopButton") return QStringLiteral("stop");
  return QStringLiteral("start");
}

// What the host's clicks do: GNOME's indicator opens the menu on any click and sends only the middle
// button on; the other hosts send left and middle clicks to the item and open the menu on the right.
QString clicksInWords(const platform::RenderDescription& fullRow, StatusNotifierHost host) {
  const QString timer = QStringLiteral("middle click to %1 the timer").arg(timerVerb(fullRow));
  if (host == StatusNotifierHost::gnomeShell) return QStringLiteral("Click for the menu, %1.").arg(timer);
  return QStringLiteral("Left click to show or hide Pellmor, %1, right click for the menu.").arg(timer);
}

}  // namespace

Presentation presentationOf(const platform::HostedContent& content, StatusNotifierHost host) {
  const platform::RenderDescription fullRow = content.render();
  Presentation presentation;
  presentation.title = stateInWords(fullRow);
  presentation.toolTip = ToolTip{{}, {}, presentation.title, clicksInWords(fullRow, host)};
  presentation.label = QString::fromStdString(fullRow.text);
  // As wide as the widest text the segment shows, so a host that reserves room never has to grow.
  presentation.labelGuide = QStringLiteral("Sign In");
  std::vector<qt::ItemImageRequest> requests;
  for (const IconRendition& rendition : renditionsFor(host))
    requests.push_back(requestOf(content, rendition));
  for (const QImage& image : qt::renderItemImages(requests))
    presentation.icon.push_back(iconPixmapFrom(image));
  for (const platform::MenuEntry& entry : content.menu())
    presentation.menuEntries.push_back(QString::fromStdString(entry.title));
  return presentation;
}

}  // namespace pellmor::sni
