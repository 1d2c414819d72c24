// What ./run does, on a temporary home: install this build into a prefix, move the tree, start
// the installed player (which seeds the home and starts the installed engine), tap Play and
// check that the demo is heard through the disk writer and its lyrics are read and drawn.
#include "core/lyrics.h"
#include "core/playable.h"
#include "core/startup.h"
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPointer>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace velora::test;
namespace fs = std::filesystem;

namespace {

// Runs a program with an argument vector, its output into logPath; returns its exit status.
int runProgram(const std::vector<std::string> &args, const std::string &logPath) {
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Heard {
  int channels = 0, rate = 0;
  double seconds = 0, rms = 0;
  int peak = 0;
};

// The 16-bit PCM WAV the disk writer leaves behind.
Heard listen(const std::string &wav) {
  Heard h;
  if (wav.size() < 44 || wav.compare(0, 4, "RIFF") != 0)
    return h;
  uint16_t ch, bits;
  uint32_t rate;
  std::memcpy(&ch, wav.data() + 22, 2);
  std::memcpy(&rate, wav.data() + 24, 4);
  std::memcpy(&bits, wav.data() + 34, 2);
  const size_t data = wav.find("data");
  if (bits != 16 || ch == 0 || rate == 0 || data == std::string::npos)
    return h;
  h.channels = ch;
  h.rate = static_cast<int>(rate);
  double sum = 0;
  size_t n = 0;
  for (size_t i = data + 8; i + 1 < wav.size(); i += 2, ++n) {
    int16_t s;
    std::memcpy(&s, wav.data() + i, 2);
    sum += static_cast<double>(s) * s;
    h.peak = std::max(h.peak, std::abs(static_cast<int>(s)));
  }
  h.seconds = static_cast<double>(n) / ch / rate;
  h.rms = n ? std::sqrt(sum / n) : 0;
  return h;
}

void tap(QWidget *w, int x, int y) {
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    const QPointF at(x, y);
    QMouseEvent e(type, at, w->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }
}

// Pixels of exactly the given colour inside a frame rectangle (lyrics are drawn in one colour).
int countColour(const QImage &frame, const QRect &area, QRgb colour) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      n += (frame.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
  return n;
}

std::string enginePidFile(const std::string &runtime) {
  for (const auto &entry : fs::directory_iterator(runtime))
    if (entry.path().extension() == ".pid")
      return entry.path().string();
  return {};
}

} // namespace

TEST(Installed, MovedTreeSeedsAFreshHomeAndPlaysTheDemoWithLyrics) {
  guiApp();
  TempHome home;
  const std::string prefix = home.root() + "/prefix", moved = home.root() + "/moved";
  ASSERT_EQ(runProgram({VELORA_CMAKE_COMMAND, "--install", VELORA_BINARY_DIR, "--prefix", prefix},
                       home.root() + "/install.log"),
            0)
      << readFile(home.root() + "/install.log");
  fs::rename(prefix, moved); // everything is found relative to the installed binaries

  // The desktop entry and its icon, as a desktop would check them.
  const std::string entry = moved + "/share/applications/velora.desktop";
  ASSERT_TRUE(fileExists(entry));
  EXPECT_EQ(runProgram({"desktop-file-validate", entry}, home.root() + "/validate.log"), 0)
      << "desktop-file-validate (package desktop-file-utils): "
      << readFile(home.root() + "/validate.log");
  const std::string desktop = readFile(entry);
  EXPECT_NE(desktop.find("\nMimeType=" + playable::mimeTypes().join(';').toStdString() + ";\n"),
            std::string::npos);
  EXPECT_NE(desktop.find("\nCategories=AudioVideo;Audio;Player;\n"), std::string::npos);
  EXPECT_TRUE(fileExists(moved + "/share/icons/hicolor/scalable/apps/velora.svg"));

  // Every demo track has lyrics whose lines start inside the song, in order; the Chinese one
  // is GBK and the first one UTF-8.
  const QString share = QString::fromStdString(moved + "/share/velora");
  QStringList kinds;
  for (const QString &track : QDir(share + "/demo").entryList(QDir::Files, QDir::Name)) {
    if (!playable::isPlayable(track))
      continue;
    kinds << QFileInfo(track).suffix();
    LyricsReader lyrics;
    ASSERT_TRUE(lyrics.loadLyrics(share + "/demo/" + track, false)) << track.toStdString();
    ASSERT_GE(lyrics.lyricLines.size(), 4) << track.toStdString();
    for (qsizetype i = 1; i < lyrics.lyricLines.size(); ++i)
      EXPECT_GT(lyrics.lyricLines[i].time, lyrics.lyricLines[i - 1].time);
    // The reader puts an empty line at 0 s before the file's first line.
    EXPECT_GE(lyrics.lyricLines[1].time, 1.0);
    EXPECT_LE(lyrics.lyricLines[lyrics.lyricLines.size() - 2].time, 40.0); // then an end mark
    if (track.startsWith("02-")) {
      EXPECT_EQ(lyrics.lyricLines[1].text, QString::fromUtf8("欢迎使用播放器。"));
    }
    if (track.startsWith("01-")) {
      EXPECT_EQ(lyrics.lyricTags[0], QString::fromUtf8("Welcome — café des sons"));
    }
  }
  EXPECT_EQ(kinds, QStringList({"m4a", "mp3", "ogg", "flac", "opus"}));

  // A settings file of the user's own that seeding must keep: the disk writer, in list order.
  const std::string heard = home.path("heard.wav");
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libdiskwriter.so\nshuffle=FALSE\n"
                                       "repeat=FALSE\n[disk_writer]\nfile=" +
                                           heard + "\n");
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (moved + "/bin:" + oldPath).c_str(), 1);
  setVeloraShareDir(share);
  XMMSPlayer::launchWaitMs = 200;

  MainFace *w = startVelora(*guiApp(), 200);
  setenv("PATH", oldPath.c_str(), 1);
  XMMSPlayer::launchWaitMs = 1000;
  ASSERT_NE(w, nullptr);
  QPointer<MainFace> guard(w);
  ASSERT_TRUE(XMMSPlayer::instance->isRunning());

  // The engine that answers is the installed one.
  const std::string pidFile = enginePidFile(home.runtime());
  ASSERT_FALSE(pidFile.empty());
  const std::string exe =
      fs::read_symlink("/proc/" + std::to_string(std::atoi(readFile(pidFile).c_str())) + "/exe");
  EXPECT_EQ(exe, fs::canonical(moved + "/bin/xmms").string());

  // The home got the skin, the demo playlists and lyrics switched on; the config stayed.
  EXPECT_TRUE(fileExists(home.path("skins/default/skins.conf")));
  EXPECT_TRUE(fileExists(home.path("playlist/demo.m3u")));
  EXPECT_NE(readFile(home.path(".xmms/config")).find("libdiskwriter.so"), std::string::npos);
  ASSERT_EQ(w->playlistModel.size(), 5);
  EXPECT_EQ(w->playlistModel.first(), share + "/demo/01-welcome.m4a");
  EXPECT_EQ(xmms_remote_get_playlist_length(0), 5);
  EXPECT_TRUE(showLyrics);

  // The lyrics panel before anything plays shows no lyric text.
  const QRect lyricArea(0, 178, 240, 120); // the default skin's lrcwin_show
  tap(w, 120, 310);                        // btn_lrcwin
  ASSERT_TRUE(lyricsPanelShown);
  // The sung line stands out from the others (seeded with the home, read by the window).
  EXPECT_EQ(w->lyricsColour, QColor("#35c2ff"));
  EXPECT_NE(w->lyricsColour, w->lyricsBackColour);
  const QRgb lyricColour = w->lyricsColour.rgb(), otherColour = w->lyricsBackColour.rgb();
  auto lyricPixels = [&] {
    return countColour(w->frameImage(), lyricArea, lyricColour) +
           countColour(w->frameImage(), lyricArea, otherColour);
  };
  EXPECT_EQ(lyricPixels(), 0);

  tap(w, 66, 129); // play
  EXPECT_TRUE(playingFlag);
  EXPECT_EQ(w->title(), "1.01-welcome.m4a");
  EXPECT_TRUE(lyricsLoaded);
  ASSERT_GE(w->lyrics.lyricLines.size(), 2);
  EXPECT_EQ(w->lyrics.lyricLines[1].text, "Welcome to velora.");
  EXPECT_TRUE(spinUntil([&] { return lyricPixels() > 40; }, 5000))
      << "no lyric text drawn in the lyrics panel";

  // The disk writer runs as fast as the decoders: the list plays through, and the file holds
  // the last song heard, which must be one of the demo's pieces and not silence.
  ASSERT_TRUE(spinUntil([&] { return fileExists(heard) && !xmms_remote_is_playing(0); }, 60000));
  const Heard h = listen(readFile(heard));
  EXPECT_GE(h.seconds, 19.0);
  EXPECT_LE(h.seconds, 41.0);
  EXPECT_GT(h.rms, 100.0) << "the demo was silent";
  EXPECT_GT(h.peak, 2000);

  w->close();
  spinUntil([&] { return guard.isNull(); }, 5000);
  EXPECT_TRUE(guard.isNull());
  delete XMMSPlayer::instance;
  setVeloraShareDir(QString());
}
