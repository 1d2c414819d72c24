#include "firststart.h"

#include "kconfig.h"
#include "mainface/mainface.h"
#include "playable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace firststart {
namespace {

// The shipped skin's accent colour, for the line being sung.
const char kFirstStartLyricsColour[] = "#35c2ff";

bool makeParent(const QString &path) {
  const QString dir = QFileInfo(path).absolutePath();
  if (QDir().mkpath(dir))
    return true;
  qWarning("velora: cannot create %s", qPrintable(dir));
  return false;
}

// QSaveFile writes a temporary file beside the target and renames it, so an interrupted first
// start never leaves half a playlist that a later start would take as the user's own.
bool writeNew(const QString &path, const QByteArray &content) {
  if (QFileInfo::exists(path) || !makeParent(path))
    return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || // see m3u.cpp
      file.write(content) != content.size() || !file.commit()) {
    qWarning("velora: cannot write %s", qPrintable(path));
    return false;
  }
  return true;
}

bool copyNew(const QString &from, const QString &to) {
  if (QFileInfo::exists(to) || !QFileInfo(from).isFile())
    return false;
  QFile source(from);
  if (!source.open(QIODevice::ReadOnly)) {
    qWarning("velora: cannot read %s", qPrintable(from));
    return false;
  }
  return writeNew(to, source.readAll());
}

// The engine shuffles unless told otherwise, and the demo (and its lyrics) is written to be heard
// in order: a new user's first Play must give song 1, then song 2. Only an engine configuration
// without a shuffle setting of its own gets one; it is written before the engine first reads it.
bool seedInOrderPlay(const QString &home) {
  const QString path = home + "/.xmms/config";
  if (!makeParent(path))
    return false;
  KConfig config(path);
  if (config.isReadOnly())
    return false;
  if (config.hasGroup("xmms")) {
    config.setGroup("xmms");
    if (config.hasKey("shuffle"))
      return false;
  }
  config.setGroup("xmms");
  config.writeEntry("shuffle", QStringLiteral("FALSE")); // the engine's own spelling
  config.sync();
  return true;
}

} // namespace

QStringList demoTracks(const QString &shareDir) {
  QStringList tracks;
  QDir dir(shareDir + "/demo");
  const QStringList names = dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
  for (const QString &name : names)
    if (playable::isPlayable(name))
      tracks << dir.absoluteFilePath(name);
  return tracks;
}

QStringList seedHome(const QString &home, const QString &shareDir) {
  QStringList written;
  if (MainFace::installDefaultSkin(home, shareDir))
    written << "skins/default";

  // Presets ship as share/velora/presets/<name>.preset and live as ~/.xmms/<name>.preset.
  const QDir presets(shareDir + "/presets");
  for (const QString &name : presets.entryList({"*.preset"}, QDir::Files, QDir::Name))
    if (copyNew(presets.absoluteFilePath(name), home + "/.xmms/" + name))
      written << ".xmms/" + name;
  if (copyNew(shareDir + "/readme", home + "/readme"))
    written << "readme";
  // Without a shipped tree (a program not installed) the home is not touched at all.
  if (QFileInfo(shareDir).isDir()) {
    // Lyrics are shown from the first start, the sung line in the skin's accent (both colours
    // default to the same grey, which hides it), so the demo's lines light up in step at once.
    // A settings file the user already has is left as it is.
    if (writeNew(home + "/.xmms/pelmar_cfg",
                 QByteArray("[pelskin]\nlrccolor=") + kFirstStartLyricsColour + "\nshowlrc=true\n"))
      written << ".xmms/pelmar_cfg";
    if (seedInOrderPlay(home))
      written << ".xmms/config";
  }

  const QStringList tracks = demoTracks(shareDir);
  if (!tracks.isEmpty()) {
    // The engine's playlist takes one absolute path per line, UTF-8, nothing else.
    QByteArray list;
    for (const QString &track : tracks)
      list += track.toUtf8() + '\n';
    if (writeNew(home + "/.xmms/xmms.m3u", list))
      written << ".xmms/xmms.m3u";
    if (writeNew(home + "/playlist/demo.m3u", list))
      written << "playlist/demo.m3u";
  }
  return written;
}

} // namespace firststart
