// An audiobook's chapters in the lyrics panel, against a real engine playing an .m4b made with
// ffmpeg: the titles are the lines, the chapter playing is the line being sung (drawn in the
// current line's colour in the frame image), a tap loops the chapter, a drag seeks to another,
// the shift keys leave them alone, and a lyrics file beside the book wins.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QProcess>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {
const std::string kBand = "lrcwin_show=0,170,240,110,0,600\n";

int outputMs() { return xmms_remote_get_output_time(0); }

// Pixels of the lyrics band that the current line's pen (red) changed from the band's sheet
// background.
int redInk(const MainFace &w) {
  int n = 0;
  for (int y = 0; y < 110; ++y)
    for (int x = 0; x < 240; ++x) {
      const QRgb p = w.frameImage().pixel(x, 170 + y), b = w.skinPixmap.pixel(x, 600 + y);
      const int dr = qRed(p) - qRed(b), dg = qGreen(p) - qGreen(b);
      if (std::abs(dr) + std::abs(dg) + std::abs(qBlue(p) - qBlue(b)) >= 40 && dr > dg)
        ++n;
    }
  return n;
}

bool makeBook(const std::string &path, const std::string &meta, const QString &codec = "aac") {
  writeFile(meta, ";FFMETADATA1\ntitle=The Book\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=10000\ntitle=Opening\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=10000\nEND=20000\ntitle=The Middle\n"
                  "[CHAPTER]\nTIMEBASE=1/1000\nSTART=20000\nEND=30000\ntitle=Ending\n");
  QStringList args = {"-v", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=22050:cl=mono"};
  args << "-i" << QString::fromStdString(meta) << "-map"
       << "0:a"
       << "-map_metadata"
       << "1"
       << "-map_chapters"
       << "1"
       << "-t"
       << "30"
       << "-c:a" << codec << QString::fromStdString(path);
  return QProcess::execute("ffmpeg", args) == 0;
}
} // namespace

TEST_F(InputTest, ABooksChaptersAreItsLinesATapLoopsOneADragSeeksAndLyricsWin) {
  if (!fileExists(stageDir() + "/lib/xmms/Input/libffmpeginput.so"))
    GTEST_SKIP() << "the FFmpeg input plug-in is not built";
  const std::string book = home.path("music/book.m4b");
  makeDirs(home.path("music"));
  ASSERT_TRUE(makeBook(book, home.path("music/chapters.txt"))) << "ffmpeg cannot make the book";
  // The other kinds of chapter marks: MP3's CHAP frames, and the CHAPTERxxx comments of FLAC.
  const std::string mp3 = home.path("music/book.mp3"), flac = home.path("music/book.flac");
  ASSERT_TRUE(makeBook(mp3, home.path("music/chapters.txt"), "libmp3lame"));
  QStringList comments = {"-v", "error", "-y",   "-f",  "lavfi", "-i", "anullsrc=r=22050:cl=mono",
                          "-t", "30",    "-c:a", "flac"};
  const char *marks[][2] = {
      {"00:00:00.000", "Opening"}, {"00:00:10.000", "The Middle"}, {"00:00:20.000", "Ending"}};
  for (int i = 0; i < 3; ++i)
    comments << "-metadata"
             << QStringLiteral("CHAPTER%1=%2").arg(i + 1, 3, 10, QChar('0')).arg(marks[i][0])
             << "-metadata"
             << QStringLiteral("CHAPTER%1NAME=%2").arg(i + 1, 3, 10, QChar('0')).arg(marks[i][1]);
  ASSERT_EQ(QProcess::execute("ffmpeg", comments << QString::fromStdString(flac)), 0);
  for (const std::string &other : {mp3, flac}) {
    const std::string &name = other;
    LyricsReader reader;
    ASSERT_TRUE(reader.loadChapters(QString::fromStdString(other))) << name;
    ASSERT_EQ(reader.lyricLines.size(), 5) << name;
    EXPECT_EQ(reader.lyricLines[2].text, "The Middle") << name;
    EXPECT_NEAR(reader.lyricLines[3].time, 20.0, 0.05) << name;
  }
  // FFmpeg is opened for the chapters only: the window does not carry its libraries from the
  // start (they are most of its resident size otherwise).
  QProcess ldd;
  ldd.start("ldd", {QString::fromStdString(stageDir() + "/bin/velora")});
  if (ldd.waitForFinished(60000) && ldd.exitCode() == 0) {
    const QString needed = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    EXPECT_TRUE(needed.contains("libQt6Widgets")) << needed.toStdString();
    EXPECT_FALSE(needed.contains("libavformat")) << needed.toStdString();
    EXPECT_FALSE(needed.contains("libavcodec")) << needed.toStdString();
  }
  LyricsReader none;
  writeFile(home.path("music/notes.txt"), "a song without chapters\n");
  writeFile(home.path("music/last.wav"), toneWav(1.0));
  EXPECT_FALSE(none.loadChapters(QString::fromStdString(home.path("music/notes.txt"))));
  EXPECT_FALSE(none.loadChapters(QString::fromStdString(home.path("music/last.wav"))));
  EXPECT_FALSE(none.loadChapters(QString::fromStdString(home.path("music/missing.m4b"))));

  startEngine({book});
  openWindow(kBand);
  w->lyricsColour = QColor(255, 0, 0);
  w->lyricsBackColour = QColor(0, 255, 0);
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  player->playAt(0);
  ASSERT_TRUE(waitPlaying(5000));
  playingFlag = true;
  w->lastPosition = -1;
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  EXPECT_TRUE(w->lyricsAreChapters);
  ASSERT_EQ(w->lyrics.lyricLines.size(), 5);
  EXPECT_EQ(w->lyrics.lyricLines[1].text, "Opening");
  EXPECT_EQ(w->lyrics.lyricLines[2].text, "The Middle");
  EXPECT_DOUBLE_EQ(w->lyrics.lyricLines[2].time, 10.0);
  EXPECT_EQ(w->lyrics.lyricLines[3].text, "Ending");

  // At 12 s the middle chapter is the line being sung: no two seconds ahead for chapters.
  w->drawTimer(9, 0, 0, 30, 30);
  EXPECT_EQ(w->currentLyricLine, 1);
  w->drawTimer(12, 0, 0, 40, 30);
  EXPECT_EQ(w->currentLyricLine, 2);
  EXPECT_GT(redInk(*w), 20) << "the current chapter's title is drawn in the current line's pen";

  // A tap loops the chapter: 10 s to 20 s.
  press(100, 240);
  release(100, 240);
  EXPECT_TRUE(abRepeat);
  EXPECT_EQ(pointA, 10);
  EXPECT_EQ(pointB, 20);
  abRepeat = false;

  // A drag of one line up goes to the last chapter.
  press(100, 240);
  move(100, 225);
  move(100, 212);
  release(100, 212);
  EXPECT_FALSE(abRepeat);
  EXPECT_EQ(w->currentLyricLine, 3);
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 19500 && outputMs() < 23000; }, 5000))
      << outputMs();

  // The shift keys do not move chapters, and nothing is remembered for the book.
  EXPECT_TRUE(key(Qt::Key_F6, true));
  key(Qt::Key_F6, false);
  EXPECT_EQ(w->lyricsShiftMs, 0);
  EXPECT_FALSE(fileExists(home.path(".xmms/lyrics_offsets")));

  // Lyrics beside the book win over its chapters.
  writeFile(home.path("music/book.lrc"), "[00:05.00]Words\n");
  w->loadLyrics(QString::fromStdString(book));
  EXPECT_TRUE(lyricsLoaded);
  EXPECT_FALSE(w->lyricsAreChapters);
  ASSERT_EQ(w->lyrics.lyricLines.size(), 3);
  EXPECT_EQ(w->lyrics.lyricLines[1].text, "Words");
  EXPECT_EQ(lyricsOffset, 2);
  showLyrics = false;
}
