// A book's chapters as timed lines: an audiobook (or any song) with chapters and no lyrics
// shows its chapter titles in the lyrics panel, the current chapter as the line being sung.
// FFmpeg's demuxers read every kind of chapter mark: MP4 chapter tracks and Nero "chpl" atoms,
// Ogg and FLAC "CHAPTERxxx" comments, ID3v2 "CHAP" frames.
#include "lyrics.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>

bool LyricsReader::loadChapters(const QString &songPath) {
  lyricLines.clear();
  plainLines.clear();
  fileOffsetMs = 0;
  if (!QFileInfo(songPath).isFile())
    return false;
  static std::once_flag quiet;
  // The libraries' own messages about odd files are no concern of the window's user.
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  AVFormatContext *fmt = nullptr;
  if (avformat_open_input(&fmt, QFile::encodeName(songPath).constData(), nullptr, nullptr) < 0)
    return false;
  QList<LyricLine> lines;
  const unsigned count = std::min<unsigned>(fmt->nb_chapters, maxPlainLines);
  for (unsigned i = 0; i < count; ++i) {
    const AVChapter *c = fmt->chapters[i];
    const double start = c->start * av_q2d(c->time_base);
    if (!std::isfinite(start) || start < 0 || start >= lastLineTime)
      continue;
    const AVDictionaryEntry *title = av_dict_get(c->metadata, "title", nullptr, 0);
    QString text = title && title->value ? QString::fromUtf8(title->value).simplified() : QString();
    if (text.isEmpty())
      text = QCoreApplication::translate("velora", "Chapter %1").arg(i + 1);
    lines.append(LyricLine{start, text.left(maxTextLength)});
  }
  avformat_close_input(&fmt);
  if (lines.isEmpty())
    return false;
  std::stable_sort(lines.begin(), lines.end(),
                   [](const LyricLine &a, const LyricLine &b) { return a.time < b.time; });
  lyricLines.append(LyricLine{0.0, QString()});
  lyricLines.append(lines);
  lyricLines.append(LyricLine{lastLineTime, QString()});
  fileName = songPath;
  return true;
}
