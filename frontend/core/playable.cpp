#include "playable.h"

#include <QFileInfo>

namespace playable {

const QStringList &extensions() {
  // The phone's own kinds first, then those the engine's plug-ins play today.
  static const QStringList list = {"mp3", "mp2", "mp1",  "ogg", "aac", "fmr",
                                   "m4a", "mp4", "flac", "wav", "opus"};
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

const QStringList &mimeTypes() {
  static const QStringList list = {"audio/mpeg", "audio/ogg",   "audio/x-vorbis+ogg",
                                   "audio/aac",  "audio/mp4",   "audio/x-m4a",
                                   "audio/flac", "audio/x-wav", "audio/opus"};
  return list;
}

} // namespace playable
