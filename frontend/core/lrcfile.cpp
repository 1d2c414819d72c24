// The LRC reader: finds the .lrc of a song, decodes it and reads its tags, times and words
// into the lyrics table.
#include "lyrics.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextCodec>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

// The case variants tried for every stem, in this order.
const char *const lyricSuffixes[] = {"lrc", "LRC", "Lrc", "LRc", "lRC", "lrC", "LrC", "lRc"};

bool isAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// Whether bytes without a byte-order mark are UTF-8. Short GBK or Big5 texts are valid UTF-8 by
// chance (GBK "\xC5\xAE" is a two-byte sequence), so validity alone is not enough: every
// non-ASCII byte must belong to a valid sequence, and among them there must be a three- or
// four-byte one (Chinese in UTF-8 takes three bytes), or each two-byte one must touch an ASCII
// letter, as an accented letter inside a Latin word does and a Chinese character after a time
// tag does not. A text that breaks UTF-8 anywhere is a legacy encoding as a whole.
bool looksLikeUtf8(const QByteArray &bytes) {
  const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
  const qsizetype n = bytes.size();
  bool long_ = false, pairsInWords = true, any = false;
  for (qsizetype i = 0; i < n;) {
    const unsigned char c = b[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int len = 0;
    unsigned lowest = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      lowest = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      lowest = 0x10000;
    }
    bool valid = len > 0 && i + len <= n;
    unsigned code = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; valid && k < len; ++k) {
      valid = (b[i + k] & 0xC0) == 0x80;
      code = (code << 6) | (b[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are no UTF-8.
    if (valid && len > 2)
      valid = code >= lowest && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (!valid)
      return false;
    any = true;
    if (len > 2) {
      long_ = true;
    } else {
      const bool letterBefore = i > 0 && isAsciiLetter(b[i - 1]);
      const bool letterAfter = i + 2 < n && isAsciiLetter(b[i + 2]);
      pairsInWords = pairsInWords && (letterBefore || letterAfter);
    }
    i += len;
  }
  return any && (long_ || pairsInWords);
}

} // namespace

namespace {

// The same names again in each "Lyrics" sub-folder (any case) of the song's folder, where some
// collections keep them apart from the music.
void addLyricsFolders(const QString &songPath, QStringList &names) {
  const qsizetype slash = songPath.lastIndexOf(QLatin1Char('/'));
  if (slash < 0)
    return;
  const QString folder = songPath.left(slash);
  const QStringList subs = QDir(folder).entryList({QStringLiteral("lyrics")},
                                                  QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
  const qsizetype count = names.size();
  for (const QString &sub : subs) {
    if (sub.compare(QLatin1String("lyrics"), Qt::CaseInsensitive) != 0)
      continue;
    const QString moved = folder + QLatin1Char('/') + sub;
    for (qsizetype i = 0; i < count; ++i)
      names << moved + names.at(i).mid(slash);
  }
}

// "Artist - Title." beside the song, from its tags; empty without both tags.
QString taggedStem(const QString &songPath) {
  const QString name = LyricsReader::tagName(songPath);
  if (name.isEmpty())
    return {};
  const qsizetype slash = songPath.lastIndexOf(QLatin1Char('/'));
  return songPath.left(slash + 1) + name + QLatin1Char('.');
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
  // Then the name lyrics downloaders give the file: "Artist - Title.lrc", from the song's tags.
  if (const QString tagged = taggedStem(songPath); !tagged.isEmpty())
    for (const char *suffix : lyricSuffixes)
      names << tagged + QLatin1String(suffix);
  addLyricsFolders(songPath, names);
  return names;
}

QStringList LyricsReader::textCandidates(const QString &songPath) {
  QStringList names;
  const qsizetype slash = songPath.lastIndexOf(QLatin1Char('/'));
  const qsizetype dot = songPath.lastIndexOf(QLatin1Char('.'));
  const QString stem = dot > slash ? songPath.left(dot + 1) : songPath + QLatin1Char('.');
  QStringList stems = {stem};
  if (const QString tagged = taggedStem(songPath); !tagged.isEmpty())
    stems << tagged;
  for (const QString &s : stems)
    names << s + QStringLiteral("txt") << s + QStringLiteral("TXT");
  addLyricsFolders(songPath, names);
  return names;
}

bool LyricsReader::loadLyrics(const QString &songPath, bool big5) {
  lyricLines.clear();
  plainLines.clear();
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
  // Some Windows editors write UTF-16 with a byte-order mark.
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                      : QStringDecoder::Utf16BE);
    return utf16.decode(QByteArrayView(bytes).sliced(2));
  }
  if (looksLikeUtf8(bytes))
    return QString::fromUtf8(bytes);
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
    } else if (key == QLatin1String("offset")) {
      // Milliseconds; positive makes every line come earlier. It applies to the whole file,
      // wherever it stands, so it is taken into account once the file is read.
      bool ok = false;
      const int ms = value.trimmed().toInt(&ok, 10);
      if (ok)
        fileOffsetMs = ms;
      else if (warnings++ < maxWarningsPerFile)
        qWarning("bad offset: %s\n", value.toUtf8().constData());
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
  // Word marks are times of the line's first tag; a line repeated at later tags (a chorus)
  // sings its words as far after each of them.
  LyricRow row = lyricwords::split(rest, times.front(), maxTextLength);
  const double first = times.front();
  for (double time : times) {
    LyricRow at = row;
    if (time != first)
      lyricwords::shift(at, time - first, 0.0, lastLineTime - 1.0);
    entries.append(LyricLine{time, at.text, at.words, at.end, {}});
  }
}

int LyricsReader::parseLyricsFile(const QString &path, bool big5) {
  lyricLines.clear();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    qWarning("Can't open %s\n", QFile::encodeName(path).constData());
    return -1;
  }
  const QByteArray bytes = file.readAll();
  file.close();
  parseLyricsText(decodeLyrics(bytes, big5), path);
  return 0;
}

int LyricsReader::parseLyricsBytes(const QByteArray &bytes, bool big5) {
  return parseLyricsText(decodeLyrics(bytes, big5), QStringLiteral("(lyrics text)"));
}

int LyricsReader::parseLyricsText(const QString &text, const QString &origin) {
  lyricLines.clear();
  plainLines.clear();
  fileOffsetMs = 0;
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
             QFile::encodeName(origin).constData());
  if (fileOffsetMs != 0) {
    // Kept inside the table's two ends: a line moved before the start shows from the start.
    const double shift = fileOffsetMs / 1000.0;
    for (qsizetype i = 1; i < entries.size(); ++i) {
      LyricLine &e = entries[i];
      e.time = std::clamp(e.time - shift, 0.0, lastLineTime - 1.0);
      LyricRow words{QString(), std::move(e.words), e.end};
      lyricwords::shift(words, -shift, 0.0, lastLineTime - 1.0);
      e.words = std::move(words.words);
      e.end = words.end;
    }
  }

  // Each entry goes after every earlier entry whose time is not greater than its own: exactly a
  // stable sort of the reading order, without the quadratic cost of inserting one by one.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const LyricLine &a, const LyricLine &b) { return a.time < b.time; });
  const int timed = static_cast<int>(entries.size()) - 1;
  entries.append(LyricLine{lastLineTime, QString()});
  joinSharedTimes(entries);
  lyricLines = std::move(entries);
  return timed;
}

void LyricsReader::joinSharedTimes(QList<LyricLine> &lines) {
  if (lines.size() < 4)
    return;
  QList<LyricLine> joined;
  joined.reserve(lines.size());
  joined.append(std::move(lines.first()));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    LyricLine &line = lines[i];
    const bool shares =
        joined.size() > 1 && i + 1 < lines.size() && joined.last().time == line.time;
    if (!shares) {
      joined.append(std::move(line));
      continue;
    }
    LyricLine &entry = joined.last();
    // A line given the same time twice (or repeated word for word) adds no row.
    bool repeated = line.text == entry.text;
    for (const LyricRow &row : entry.more)
      repeated = repeated || line.text == row.text;
    if (line.text.trimmed().isEmpty() || repeated)
      continue;
    if (entry.text.trimmed().isEmpty()) { // an empty line at that time gives way
      entry.text = std::move(line.text);
      entry.words = std::move(line.words);
      entry.end = line.end;
    } else if (entry.rowCount() < maxRows) {
      entry.more.append(LyricRow{std::move(line.text), std::move(line.words), line.end});
    }
  }
  lines = std::move(joined);
}

void LyricsReader::setPlainText(const QString &text) {
  lyricLines = {LyricLine{0.0, QString()}, LyricLine{lastLineTime, QString()}};
  plainLines.clear();
  for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
    if (plainLines.size() >= maxPlainLines)
      break;
    plainLines << line.trimmed().left(maxTextLength).toString();
  }
  while (!plainLines.isEmpty() && plainLines.last().isEmpty())
    plainLines.removeLast();
}

int LyricsReader::lineAt(double t) const {
  const auto later =
      std::upper_bound(lyricLines.cbegin(), lyricLines.cend(), t,
                       [](double value, const LyricLine &line) { return value < line.time; });
  return std::max(0, static_cast<int>(later - lyricLines.cbegin()) - 1);
}
