#include "lyricstiming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

bool LyricsTiming::start(const QString &songPath, const QStringList &lines) {
  clear();
  for (const QString &line : lines) {
    const QString text = line.trimmed();
    if (!text.isEmpty())
      lineTexts << text;
  }
  if (lineTexts.isEmpty())
    return false;
  songFile = songPath;
  stamps = QList<qint64>(lineTexts.size(), -1);
  return true;
}

void LyricsTiming::clear() {
  songFile.clear();
  lineTexts.clear();
  stamps.clear();
  next = 0;
  changed = false;
}

bool LyricsTiming::stamp(qint64 ms) {
  if (next >= lineTexts.size())
    return false;
  const qint64 floor = next > 0 ? stamps.at(next - 1) : 0;
  stamps[next++] = std::max(ms, floor);
  changed = true;
  return true;
}

bool LyricsTiming::undo() {
  if (next == 0)
    return false;
  stamps[--next] = -1;
  changed = true;
  return true;
}

qint64 LyricsTiming::nudgePrevious(qint64 deltaMs) {
  if (next == 0)
    return -1;
  const int i = next - 1;
  const qint64 low = i > 0 ? stamps.at(i - 1) : 0;
  const qint64 high =
      i + 1 < stamps.size() && stamps.at(i + 1) >= 0 ? stamps.at(i + 1) : (qint64(1) << 40);
  stamps[i] = std::clamp(stamps.at(i) + deltaMs, low, high);
  changed = true;
  return stamps.at(i);
}

QByteArray LyricsTiming::lrcText() const {
  QByteArray out("\xEF\xBB\xBF");
  for (int i = 0; i < lineTexts.size(); ++i) {
    const qint64 ms = stamps.at(i);
    if (ms >= 0) {
      const qint64 hundredths = (ms + 5) / 10;
      out += QString::asprintf("[%02lld:%02lld.%02lld]", hundredths / 6000, hundredths / 100 % 60,
                               hundredths % 100)
                 .toLatin1();
    }
    out += lineTexts.at(i).toUtf8();
    out += '\n';
  }
  return out;
}

QString LyricsTiming::lrcPathFor(const QString &songPath) {
  const qsizetype slash = songPath.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = songPath.lastIndexOf(QLatin1Char('.'));
  return (dot > slash + 1 ? songPath.left(dot) : songPath) + QStringLiteral(".lrc");
}

namespace {

// Moves backup to backup.1 (or .2, ... the first name not taken).
bool keepOlderBackup(const QString &backup) {
  for (int n = 1; n < 1000; ++n) {
    const QString older = backup + QLatin1Char('.') + QString::number(n);
    if (!QFileInfo::exists(older) && !QFileInfo(older).isSymLink())
      return QFile::rename(backup, older);
  }
  return false;
}

} // namespace

bool LyricsTiming::save() {
  if (!active())
    return false;
  const QString path = lrcPathFor(songFile);
  const QByteArray name = QFile::encodeName(path);
  QSaveFile file(path);
  file.setDirectWriteFallback(false);
  if (!file.open(QIODevice::WriteOnly)) {
    qWarning("velora: cannot write %s: %s", name.constData(), qPrintable(file.errorString()));
    return false;
  }
  const QByteArray text = lrcText();
  if (file.write(text) != text.size()) {
    qWarning("velora: cannot write %s: %s", name.constData(), qPrintable(file.errorString()));
    file.cancelWriting();
    return false;
  }
  // The new text is safely on disk beside the old file; only now does the old one step aside.
  const QString backup = path + QStringLiteral(".bak");
  const bool hadOld = QFileInfo(path).isFile();
  if (hadOld) {
    // A backup already there is an earlier version (often the lyrics the user had before any
    // timing): it moves to the first free numbered name rather than being replaced.
    if (QFileInfo::exists(backup) && !keepOlderBackup(backup)) {
      qWarning("velora: cannot keep %s", QFile::encodeName(backup).constData());
      file.cancelWriting();
      return false;
    }
    if (!QFile::rename(path, backup)) {
      qWarning("velora: cannot keep %s as %s", name.constData(),
               QFile::encodeName(backup).constData());
      file.cancelWriting();
      return false;
    }
  }
  if (!file.commit()) {
    qWarning("velora: cannot write %s: %s", name.constData(), qPrintable(file.errorString()));
    if (hadOld)
      QFile::rename(backup, path);
    return false;
  }
  changed = false;
  return true;
}
