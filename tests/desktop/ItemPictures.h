#pragma once

// The status item's reference pictures: each form in each state, drawn by the desktop painter with the
// real font's metrics. tests/desktop/reference/ keeps them; tools/item-pictures.sh draws them anew.

#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "Backends/Qt/ItemPainter.h"
#include "Backends/Qt/QtTextMetrics.h"
#include "StatusItemLayout.h"

namespace pellmor::pictures {

struct State {
  const char* name;
  DisplayState shown;
};

inline const std::vector<State>& states() {
  static const std::vector<State> all = {
      {"sign-in", {"PlayButton", TrailingContent::signIn, "Sign In"}},
      {"no-time", {"PlayButton", TrailingContent::placeholder, "-:--"}},
      {"stopped", {"PlayButton", TrailingContent::elapsedTime, "2:30"}},
      {"running", {"PauseButton", TrailingContent::elapsedTime, "1:06"}},
      {"timestamps", {"StopButton", TrailingContent::elapsedTime, "12:34"}},
  };
  return all;
}

// A cell the item is drawn for: a square or a tray's cell at scale 1, or the row at its own size.
struct Cell {
  int width = 0;  // 0: the row, at its own size
  int height = 0;
  double scale = 1;

  QString name() const {
    const QString density = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
    if (width == 0) return QStringLiteral("row") + (scale == 1 ? QStringLiteral("@1x") : density);
    return QStringLiteral("%1x%2").arg(width).arg(height) + density;
  }
};

// fluxbox's toolbar at 16 and 18, xfce4-panel's and tint2's 22, lxpanel's 24, icewm's 32 x 24, large
// squares, Plasma's 33 at 144 dpi, trayer at 18 and 16 pixels high (rows of 63 x 16 and 63 x 14), the row at
// 1x and 2x, and squares for hosts at 2x and 3x (22 at 3x, 64 at 2x: the largest square a host is given).
inline const std::vector<Cell>& cells() {
  static const std::vector<Cell> all = {{16, 16},  {18, 18},  {22, 22},    {24, 24},   {32, 24},
                                        {33, 33},  {48, 48},  {64, 64},    {63, 16},   {63, 14},
                                        {0, 0, 1}, {0, 0, 2}, {22, 22, 3}, {64, 64, 2}};
  return all;
}

inline QString fileName(const State& state, const Cell& cell) {
  return QStringLiteral("%1-%2.png").arg(QLatin1String(state.name), cell.name());
}

inline QImage draw(const State& state, const Cell& cell, const qt::QtTextMetrics& metrics) {
  if (cell.width == 0) {
    const platform::RenderDescription row = layOutRow(state.shown, metrics);
    const QSize size(static_cast<int>(row.size.width), static_cast<int>(row.size.height));
    return qt::renderItemImage(row, size, cell.scale).convertToFormat(QImage::Format_ARGB32);
  }
  const platform::Size size{static_cast<double>(cell.width), static_cast<double>(cell.height)};
  return qt::renderItemImage(layOut(state.shown, size, metrics), QSize(cell.width, cell.height), cell.scale)
      .convertToFormat(QImage::Format_ARGB32);
}

}  // namespace pellmor::pictures
