#include "playable.h"

#include <QDir>
#include <QFileInfo>

// kPluginExtensions and kPluginMimeTypes, read from the engine's input plug-ins at build time.
#include "playablekinds.inc"

namespace playable {

namespace {

QStringList withPluginWords(QStringList list, const char *const *words) {
  for (; *words; ++words)
    if (!list.contains(QLatin1String(*words)))
      list << QString::fromLatin1(*words);
  return list;
}

} // namespace

const QStringList &extensions() {
  // The phone's own kinds first, then every kind an input plug-in of the engine names.
  static const QStringList list =
      withPluginWords({"mp3", "mp2", "mp1", "ogg", "aac", "fmr"}, kPluginExtensions);
  return list;
}

QStringList nameFilters() {
  QStringList filters;
  for (const QString &ext : extensions())
    filters << "*." + ext;
  return filters;
}

bool isPlayable(const QString &fileName) {
  const QString base = QFileInfo(fileName).fileName();
  const int dot = base.lastIndexOf('.');
  if (dot < 0)
    return false;
  return extensions().contains(base.mid(dot + 1).toLower());
}

QStringList songsIn(const QString &folder) {
  QDir lister(folder);
  lister.setNameFilters(nameFilters());
  lister.setSorting(QDir::Name | QDir::IgnoreCase);
  QStringList songs;
  const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + "/";
  for (const QString &name : lister.entryList(QDir::Files | QDir::Hidden))
    if (isPlayable(name))
      songs << prefix + name;
  return songs;
}

const QStringList &mimeTypes() {
  static const QStringList list = withPluginWords({}, kPluginMimeTypes);
  return list;
}

} // namespace playable
