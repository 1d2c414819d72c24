// Lyrics stored inside the song file, read with TagLib. Synchronised lyrics (ID3v2 "SYLT", or a
// "SYNCEDLYRICS" / "LYRICS" / "UNSYNCEDLYRICS" text that is itself LRC, as Ogg, Opus and FLAC
// comments and the MP4 "©lyr" item carry it) become the same time-ordered table as a file's;
// other lyrics text becomes a still page.
#include "lyrics.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <algorithm>

namespace {

QString fromTag(const TagLib::String &s) { return QString::fromUtf8(s.toCString(true)); }

// The lines of a "SYLT" frame in milliseconds. Its entries are often syllables: an entry whose
// text starts with a line break begins a new line, the others continue the line before, and
// each keeps its own time as a word of that line. Frames whose entries never start with a break
// hold one line an entry.
QList<LyricLine> syltLines(const TagLib::ID3v2::SynchronizedLyricsFrame &frame) {
  const TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList list = frame.synchedText();
  bool syllables = false;
  for (const auto &entry : list) {
    const QString text = fromTag(entry.text);
    if (text.startsWith(QLatin1Char('\n')) || text.startsWith(QLatin1Char('\r'))) {
      syllables = true;
      break;
    }
  }
  QList<LyricLine> lines;
  lines.reserve(static_cast<qsizetype>(list.size()));
  for (const auto &entry : list) {
    QString text = fromTag(entry.text);
    const bool breaks = text.startsWith(QLatin1Char('\n')) || text.startsWith(QLatin1Char('\r'));
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    const double time = entry.time / 1000.0;
    if (syllables && !breaks && !lines.isEmpty()) {
      LyricLine &line = lines.last();
      const qsizetype from = line.text.size();
      if (from >= LyricsReader::maxTextLength)
        continue;
      line.text += text.left(LyricsReader::maxTextLength - from);
      // Syllables come in the order they are sung; one stamped earlier starts with the one
      // before it.
      LyricWord w{std::max(time, line.words.isEmpty() ? line.time : line.words.last().time), 0, 0};
      if (lyricwords::trimmedWord(line.text, from, line.text.size(), w))
        line.words.append(w);
      continue;
    }
    LyricLine line{time, text.left(LyricsReader::maxTextLength)};
    LyricWord w{time, 0, 0};
    if (syllables && lyricwords::trimmedWord(line.text, 0, line.text.size(), w))
      line.words.append(w);
    lines.append(std::move(line));
  }
  // A line of one syllable has nothing to fill word by word: it shows as a plain line.
  for (LyricLine &line : lines)
    if (line.words.size() < 2)
      line.words.clear();
  return lines;
}

} // namespace

bool LyricsReader::loadEmbedded(const QString &songPath) {
  lyricLines.clear();
  plainLines.clear();
  fileOffsetMs = 0;
  if (!QFileInfo(songPath).isFile())
    return false;
  const QByteArray name = QFile::encodeName(songPath);
  TagLib::FileRef ref(name.constData(), false);
  if (ref.isNull())
    return false;

  QStringList texts; // lyrics texts in the order they are worth trying
  QString plain;

  if (auto *mp3 = dynamic_cast<TagLib::MPEG::File *>(ref.file()); mp3 && mp3->hasID3v2Tag()) {
    const TagLib::ID3v2::FrameList sylt = mp3->ID3v2Tag()->frameList("SYLT");
    for (TagLib::ID3v2::Frame *f : sylt) {
      auto *frame = dynamic_cast<TagLib::ID3v2::SynchronizedLyricsFrame *>(f);
      if (!frame)
        continue;
      if (frame->timestampFormat() !=
          TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds) {
        qWarning("velora: %s: SYLT timed in MPEG frames is not read", name.constData());
        continue;
      }
      QList<LyricLine> lines = syltLines(*frame);
      if (lines.isEmpty())
        continue;
      std::stable_sort(lines.begin(), lines.end(),
                       [](const LyricLine &a, const LyricLine &b) { return a.time < b.time; });
      lines.prepend(LyricLine{0.0, QString()});
      for (qsizetype i = 1; i < lines.size(); ++i) {
        lines[i].time = std::clamp(lines[i].time, 0.0, lastLineTime - 1.0);
        for (LyricWord &w : lines[i].words)
          w.time = std::clamp(w.time, 0.0, lastLineTime - 1.0);
      }
      lines.append(LyricLine{lastLineTime, QString()});
      joinSharedTimes(lines);
      lyricLines = std::move(lines);
      fileName = songPath;
      return true;
    }
    for (TagLib::ID3v2::Frame *f : mp3->ID3v2Tag()->frameList("USLT"))
      if (auto *frame = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame *>(f))
        texts << fromTag(frame->text());
  } else if (TagLib::File *file = ref.file()) {
    const TagLib::PropertyMap properties = file->properties();
    for (const char *key : {"SYNCEDLYRICS", "LYRICS", "UNSYNCEDLYRICS"}) {
      const auto it = properties.find(key);
      if (it == properties.end())
        continue;
      for (const TagLib::String &value : it->second)
        texts << fromTag(value);
    }
  }

  // A text that holds LRC lines is synchronised; the first other one is the plain page.
  for (const QString &text : texts) {
    if (text.trimmed().isEmpty())
      continue;
    if (parseLyricsText(text, songPath) > 0) {
      fileName = songPath;
      return true;
    }
    if (plain.isEmpty())
      plain = text;
  }
  lyricLines.clear();
  fileOffsetMs = 0;
  if (plain.isEmpty())
    return false;
  setPlainText(plain);
  fileName = songPath;
  return true;
}

QString LyricsReader::tagName(const QString &songPath) {
  if (!QFileInfo(songPath).isFile())
    return {};
  const QByteArray name = QFile::encodeName(songPath);
  TagLib::FileRef ref(name.constData(), false);
  if (ref.isNull() || !ref.tag())
    return {};
  QString artist = fromTag(ref.tag()->artist()).trimmed();
  QString title = fromTag(ref.tag()->title()).trimmed();
  if (artist.isEmpty() || title.isEmpty())
    return {};
  // A file name cannot hold a slash; lyrics tools write it as an underscore.
  artist.replace(QLatin1Char('/'), QLatin1Char('_'));
  title.replace(QLatin1Char('/'), QLatin1Char('_'));
  return artist + QStringLiteral(" - ") + title;
}
