#include "sharedir.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &overrideDir() {
  static QString dir;
  return dir;
}
} // namespace

QString veloraShareDir() {
  if (!overrideDir().isEmpty())
    return overrideDir();
  return QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/velora");
}

void setVeloraShareDir(const QString &dir) { overrideDir() = dir; }
