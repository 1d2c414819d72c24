// A book's chapters as timed lines: an audiobook (or any song) with chapters and no lyrics
// shows its chapter titles in the lyrics panel, the current chapter as the line being sung.
// FFmpeg's demuxers read every kind of chapter mark: MP4 chapter tracks and Nero "chpl" atoms,
// Ogg and FLAC "CHAPTERxxx" comments, ID3v2 "CHAP" frames.
//
// FFmpeg is opened the first time a song needs its chapters, not linked: with its hundred-odd
// libraries (codecs, TLS, SVG) mapped from the start the window's resident size grew by some
// 20 MiB, paid by every user, also by those whose songs all have lyrics.
#include "lyrics.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// The few FFmpeg calls the chapters need, from the library the headers belong to.
struct Ffmpeg {
  decltype(&avformat_open_input) openInput = nullptr;
  decltype(&avformat_close_input) closeInput = nullptr;
  decltype(&av_dict_get) dictGet = nullptr;
  bool usable() const { return openInput && closeInput && dictGet; }
};

const Ffmpeg &ffmpeg() {
  static Ffmpeg f;
  static std::once_flag once;
  std::call_once(once, [] {
    const char *name = "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
    void *lib = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      qWarning("velora: chapters cannot be read (%s)", dlerror());
      return; // kept loaded once opened: the next book needs it again
    }
    // The libraries' own messages about odd files are no concern of the window's user.
    if (auto quiet = reinterpret_cast<decltype(&av_log_set_level)>(dlsym(lib, "av_log_set_level")))
      quiet(AV_LOG_QUIET);
    f.openInput = reinterpret_cast<decltype(f.openInput)>(dlsym(lib, "avformat_open_input"));
    f.closeInput = reinterpret_cast<decltype(f.closeInput)>(dlsym(lib, "avformat_close_input"));
    f.dictGet = reinterpret_cast<decltype(f.dictGet)>(dlsym(lib, "av_dict_get"));
    if (!f.usable())
      qWarning("velora: chapters cannot be read (%s lacks a call)", name);
  });
  return f;
}

} // namespace

bool LyricsReader::loadChapters(const QString &songPath) {
  lyricLines.clear();
  plainLines.clear();
  fileOffsetMs = 0;
  if (!QFileInfo(songPath).isFile())
    return false;
  const Ffmpeg &av = ffmpeg();
  if (!av.usable())
    return false;
  AVFormatContext *fmt = nullptr;
  if (av.openInput(&fmt, QFile::encodeName(songPath).constData(), nullptr, nullptr) < 0)
    return false;
  QList<LyricLine> lines;
  const unsigned count = std::min<unsigned>(fmt->nb_chapters, maxPlainLines);
  for (unsigned i = 0; i < count; ++i) {
    const AVChapter *c = fmt->chapters[i];
    const double start = c->start * av_q2d(c->time_base);
    if (!std::isfinite(start) || start < 0 || start >= lastLineTime)
      continue;
    const AVDictionaryEntry *title = av.dictGet(c->metadata, "title", nullptr, 0);
    QString text = title && title->value ? QString::fromUtf8(title->value).simplified() : QString();
    if (text.isEmpty())
      text = QCoreApplication::translate("velora", "Chapter %1").arg(i + 1);
    lines.append(LyricLine{start, text.left(maxTextLength)});
  }
  av.closeInput(&fmt);
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
