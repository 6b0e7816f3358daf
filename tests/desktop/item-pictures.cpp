// Draws the status item's reference pictures into the directory given (tools/item-pictures.sh).

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "desktop/ItemPictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: item-pictures DIRECTORY\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const QGuiApplication application(argc, argv);
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  const pellmor::qt::QtTextMetrics metrics;
  for (const auto& state : pellmor::pictures::states()) {
    for (const auto& cell : pellmor::pictures::cells()) {
      const QString path = directory.filePath(pellmor::pictures::fileName(state, cell));
      if (!pellmor::pictures::draw(state, cell, metrics).save(path)) {
        std::fprintf(stderr, "item-pictures: cannot write %s\n", qPrintable(path));
        return 1;
      }
    }
  }
  return 0;
}
