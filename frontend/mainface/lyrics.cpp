#include "lyrics.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QTextCodec>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

// The case variants tried for every stem, in this order.
const char *const lyricSuffixes[] = {"lrc", "LRC", "Lrc", "LRc", "lRC", "lrC", "LrC", "lRc"};

bool hasHighBytes(const QByteArray &bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80)
      return true;
  return false;
}

} // namespace

QStringList LyricsReader::candidateNames(const QString &songPath) {
  QStringList names;
  // Historically the name is the song path minus three characters, which suits "a.mp3" but not
  // "a.flac" or "a.opus"; the cut of the whole extension comes second so that old setups that
  // relied on the three-character cut keep finding the same file.
  QString shortStem;
  if (songPath.size() > 3) {
    shortStem = songPath.left(songPath.size() - 3);
    for (const char *suffix : lyricSuffixes)
      names << shortStem + QLatin1String(suffix);
  }
  const qsizetype slash = songPath.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = songPath.lastIndexOf(QLatin1Char('.'));
  if (dot > slash) {
    const QString stem = songPath.left(dot + 1);
    if (stem != shortStem)
      for (const char *suffix : lyricSuffixes)
        names << stem + QLatin1String(suffix);
  }
  return names;
}

bool LyricsReader::loadLyrics(const QString &songPath, bool big5) {
  lyricLines.clear();
  fileName.clear();
  for (const QString &name : candidateNames(songPath)) {
    if (!QFileInfo(name).isFile())
      continue;
    fileName = name;
    return parseLyricsFile(name, big5) == 0;
  }
  return false;
}

QString LyricsReader::decodeLyrics(const QByteArray &bytes, bool big5) {
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return QString::fromUtf8(bytes.constData() + 3, bytes.size() - 3);
  // Plain ASCII decodes the same everywhere; only text with multi-byte sequences tells UTF-8
  // apart, and GBK or Big5 text is almost never valid UTF-8 by accident.
  if (hasHighBytes(bytes)) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
      return text;
  }
  QTextCodec *codec = QTextCodec::codecForName(big5 ? "Big5" : "GBK");
  if (!codec)
    return QString::fromLatin1(bytes);
  return codec->toUnicode(bytes);
}

void LyricsReader::parseLine(QStringView line, QList<LyricLine> &entries, int &warnings) {
  QStringView rest = line.trimmed();
  if (rest.isEmpty())
    return;
  // Times of this line, in the order of its tags. A hostile line may hold many thousand tags, so
  // the line is walked by position rather than cut down from the front.
  QVarLengthArray<double, 8> times;
  while (rest.startsWith(QLatin1Char('['))) {
    const qsizetype close = rest.indexOf(QLatin1Char(']'));
    if (close < 0)
      break;
    const QStringView tag = rest.mid(1, close - 1);
    rest = rest.mid(close + 1);
    if (tag.isEmpty())
      break;

    QStringView key = tag, value = tag;
    const qsizetype colon = tag.indexOf(QLatin1Char(':'), 1);
    if (colon >= 0) {
      key = tag.left(colon);
      const qsizetype next = tag.indexOf(QLatin1Char(':'), colon + 1);
      value = next < 0 ? tag.mid(colon + 1) : tag.mid(colon + 1, next - colon - 1);
    }

    if (key == QLatin1String("ti")) {
      lyricTags[Title] = value.toString();
    } else if (key == QLatin1String("ar")) {
      lyricTags[Artist] = value.toString();
    } else if (key == QLatin1String("al")) {
      lyricTags[Album] = value.toString();
    } else if (key == QLatin1String("by")) {
      lyricTags[Author] = value.toString();
    } else {
      bool minutesOk = false, secondsOk = false;
      const int minutes = key.toInt(&minutesOk, 10);
      const double seconds = value.toDouble(&secondsOk);
      const double time = minutes * 60.0 + seconds;
      // A time before the opening entry or at or after the closing one would move a sentinel
      // away from its end of the table, and the display relies on both being there.
      if (minutesOk && secondsOk && std::isfinite(time) && time >= 0.0 && time < lastLineTime) {
        times.append(time);
      } else {
        if (warnings < maxWarningsPerFile)
          qWarning("unKnown section: %s -- %s\n", key.toUtf8().constData(),
                   value.toUtf8().constData());
        ++warnings;
      }
    }
  }
  if (times.isEmpty())
    return;
  const QString text = rest.left(maxTextLength).toString(); // shared by every entry of the line
  for (double time : times)
    entries.append(LyricLine{time, text});
}

int LyricsReader::parseLyricsFile(const QString &path, bool big5) {
  lyricLines.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    qWarning("Can't open %s\n", QFile::encodeName(path).constData());
    return -1;
  }
  const QString text = decodeLyrics(file.readAll(), big5);
  file.close();

  QList<LyricLine> entries;
  entries.append(LyricLine{0.0, QString()});
  int warnings = 0;
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = text.indexOf(QLatin1Char('\n'), start);
    if (end < 0)
      end = text.size();
    parseLine(QStringView(text).mid(start, end - start), entries, warnings);
    start = end + 1;
  }
  if (warnings > maxWarningsPerFile)
    qWarning("%d more unknown sections in %s", warnings - maxWarningsPerFile,
             QFile::encodeName(path).constData());

  // Each entry goes after every earlier entry whose time is not greater than its own: exactly a
  // stable sort of the reading order, without the quadratic cost of inserting one by one.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const LyricLine &a, const LyricLine &b) { return a.time < b.time; });
  entries.append(LyricLine{lastLineTime, QString()});
  lyricLines = std::move(entries);
  return 0;
}

int LyricsReader::lineAt(double t) const {
  const auto later =
      std::upper_bound(lyricLines.cbegin(), lyricLines.cend(), t,
                       [](double value, const LyricLine &line) { return value < line.time; });
  return std::max(0, static_cast<int>(later - lyricLines.cbegin()) - 1);
}

void LyricsReader::runLcdsleep(const QString &home, bool lyricsShown) {
  const QString program = home + QStringLiteral("/lcdsleep");
  const QFileInfo info(program);
  if (!info.isFile() || !info.isExecutable())
    return;
  QProcess::execute(program, {lyricsShown ? QStringLiteral("0") : QStringLiteral("-r")});
}
