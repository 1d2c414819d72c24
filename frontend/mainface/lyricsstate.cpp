// A song became current: read its lyrics and tell the display helper whether they are shown.
#include "mainface.h"

void MainFace::loadLyrics(const QString &songPath) {
  lyricsLoaded = lyrics.loadLyrics(songPath, lyricsBig5);
  lyricsOffset = 2;
  currentLyricLine = 0;
  lyricScroll = 0;
  LyricsReader::runLcdsleep(baseDir, lyricsLoaded && showLyrics);
}
