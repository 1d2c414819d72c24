#include "storage.h"

#include "kconfig.h"

#include <QDir>
#include <QFileInfo>

namespace storage {
namespace {

QString configuredRoot(const QString &home, const char *key, const char *fallback) {
  KConfig settings(home + "/.xmms/pelmar_cfg", true);
  settings.setGroup("pelskin");
  // Stored as UTF-8 bytes, like every path in the settings file.
  const QString path = QString::fromUtf8(settings.readEntry(key, fallback).toLatin1());
  if (!path.isEmpty() && QFileInfo(path).isDir())
    return QDir::cleanPath(path);
  return musicFolder(home);
}

} // namespace

QString cardRoot(const QString &home) { return configuredRoot(home, "storage_card", "/mmc/mmca1"); }

QString internalRoot(const QString &home) {
  return configuredRoot(home, "storage_internal", "/diska");
}

QString musicFolder(const QString &home) {
  const QString music = home + "/Music";
  return QFileInfo(music).isDir() ? music : home;
}

} // namespace storage
