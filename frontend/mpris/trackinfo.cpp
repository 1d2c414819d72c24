#include "trackinfo.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace {
QString fromTag(const TagLib::String &s) {
  return QString::fromStdString(s.to8Bit(true)).trimmed();
}
} // namespace

TrackInfo TrackInfo::read(const QString &path) {
  TrackInfo info;
  info.path = path;
  if (!path.isEmpty()) {
    // Without reading audio properties: only the tag frames are parsed.
    const TagLib::FileRef file(QFile::encodeName(path).constData(), false);
    if (!file.isNull() && file.tag()) {
      info.title = fromTag(file.tag()->title());
      info.artist = fromTag(file.tag()->artist());
      info.album = fromTag(file.tag()->album());
    }
  }
  if (info.title.isEmpty())
    info.title = QFileInfo(path).fileName();
  return info;
}
