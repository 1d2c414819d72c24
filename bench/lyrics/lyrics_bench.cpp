// Reads the lyrics of an MP3 whose ID3v2 tag holds a 10 000-line SYLT frame, and the same lines
// from an .lrc file, several times each; prints the median and the slowest time of each.
//   lyrics_bench [lines] [rounds]
#include "lyrics.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Times {
  double median, slowest;
};

template <class F> Times timeIt(int rounds, F read) {
  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    QElapsedTimer t;
    t.start();
    read();
    ms.push_back(t.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char **argv) {
  const int lines = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  QTemporaryDir dir;
  const QString mp3 = dir.path() + "/long.mp3", lrc = dir.path() + "/long.lrc";
  if (QProcess::execute("ffmpeg",
                        {"-v", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=mono", "-t",
                         "2", "-c:a", "libmp3lame", mp3}) != 0) {
    std::fprintf(stderr, "lyrics_bench: ffmpeg could not make %s\n", qPrintable(mp3));
    return 1;
  }
  QByteArray lrcText;
  {
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    auto *frame = new TagLib::ID3v2::SynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setTimestampFormat(TagLib::ID3v2::SynchronizedLyricsFrame::AbsoluteMilliseconds);
    frame->setType(TagLib::ID3v2::SynchronizedLyricsFrame::Lyrics);
    TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList list;
    for (int i = 0; i < lines; ++i) {
      const unsigned ms = static_cast<unsigned>(i) * 250;
      const QByteArray text = "\nLine number " + QByteArray::number(i) + " of the long song";
      list.append({ms, TagLib::String(text.constData(), TagLib::String::UTF8)});
      lrcText += QStringLiteral("[%1:%2.%3]")
                     .arg(ms / 60000, 2, 10, QLatin1Char('0'))
                     .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                     .arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'))
                     .toLatin1() +
                 text.mid(1) + "\n";
    }
    frame->setSynchedText(list);
    file.ID3v2Tag(true)->addFrame(frame);
    if (!file.save()) {
      std::fprintf(stderr, "lyrics_bench: cannot write the tag\n");
      return 1;
    }
  }
  QFile out(lrc);
  if (!out.open(QIODevice::WriteOnly) || out.write(lrcText) != lrcText.size())
    return 1;
  out.close();

  LyricsReader reader;
  const Times sylt = timeIt(rounds, [&] { reader.loadEmbedded(mp3); });
  if (reader.lyricLines.size() != lines + 2) {
    std::fprintf(stderr, "lyrics_bench: read %lld lines, expected %d\n",
                 static_cast<long long>(reader.lyricLines.size()) - 2, lines);
    return 1;
  }
  const Times file = timeIt(rounds, [&] { reader.parseLyricsFile(lrc, false); });
  std::printf("embedded SYLT, %d lines: median %.2f ms, slowest %.2f ms (%d rounds)\n", lines,
              sylt.median, sylt.slowest, rounds);
  std::printf(".lrc file,     %d lines: median %.2f ms, slowest %.2f ms (%d rounds)\n", lines,
              file.median, file.slowest, rounds);
  return 0;
}
