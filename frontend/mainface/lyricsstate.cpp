// A song became current: read its lyrics and tell the display helper whether they are shown.
// Also the per-song shift keys and the drag that seeks by the lyrics.
#include "mainface.h"

#include "core/lyricsoffsets.h"
#include "xmmsPlayer.h"

#include <algorithm>
#include <cmath>

void MainFace::loadLyrics(const QString &songPath) {
  // A lyrics file wins over the lyrics inside the song.
  lyricsLoaded = lyrics.loadLyrics(songPath, lyricsBig5) || lyrics.loadEmbedded(songPath);
  lyricsOffset = 2;
  currentLyricLine = 0;
  lyricScroll = 0;
  plainScroll = 0;
  lyricsDragFrom = -1;
  lyricsDragOffset = 0;
  lyricsDragging = false;
  if (songPath != lyricsSong) {
    lyricsSong = songPath;
    lyricsShiftMs = lyricsoffsets::shiftFor(baseDir, songPath);
  }
  LyricsReader::runLcdsleep(baseDir, lyricsLoaded && showLyrics);
}

void MainFace::shiftLyrics(int deltaMs) {
  if (lyricsSong.isEmpty())
    return;
  lyricsShiftMs += deltaMs;
  lyricsoffsets::store(baseDir, lyricsSong, lyricsShiftMs);
  const int tenths = std::abs(lyricsShiftMs) / 100;
  noticeText = QStringLiteral("Lrc %1%2.%3 s")
                   .arg(lyricsShiftMs < 0 ? QStringLiteral("-") : QStringLiteral("+"))
                   .arg(tenths / 10)
                   .arg(tenths % 10);
  noticeTicks = 10;
  wakeTitle();
  if (lyricsLoaded && showLyrics && !lyrics.isPlain())
    seekTo(currentSecond + lyricsOffset);
}

void MainFace::dragLyrics(int offset) {
  lyricsDragOffset = offset;
  drawLyrics();
}

void MainFace::finishLyricsDrag() {
  const int offset = lyricsDragOffset;
  lyricsDragFrom = -1;
  lyricsDragOffset = 0;
  lyricsDragging = false;
  if (!lyricsLoaded)
    return;
  if (lyrics.isPlain()) {
    plainScroll = std::max(0.0, plainScroll - offset);
    drawLyrics();
    return;
  }
  const QList<LyricLine> &lines = lyrics.lyricLines;
  const int height = std::max(1, lyricLineHeight);
  // The line whose box is nearest the centre once the lines stand where the stylus left them.
  const double scroll = lyricScroll + offset;
  if (lines.size() < 3) { // only the two ends: no line to go to
    drawLyrics();
    return;
  }
  int line = currentLyricLine + static_cast<int>(std::lround(-scroll / height));
  line = std::clamp(line, 1, static_cast<int>(lines.size()) - 2);
  // The display runs lyricsOffset seconds (and the song's shift) ahead of the play time; the
  // whole second at or after that point makes the chosen line current at the next poll.
  const double at = lines.at(line).time - lyricsOffset - lyricsShiftMs / 1000.0;
  const int second = std::max(0, static_cast<int>(std::ceil(at)));
  if (controller && playingFlag)
    controller->seek(second * 1000);
  currentSecond = second;
  seekTo(second + lyricsOffset);
}
