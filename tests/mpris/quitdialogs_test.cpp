// A Quit from the desktop (over the real session bus, as a panel widget sends it) while each of the
// window's modal dialogs or pop-ups is open: the dialog is cancelled, the code that waited for it
// goes on without a window pulled from under it, the close sequence ends the engine and the event
// loop ends with status 0.
#include "dialogs/playlist.h"
#include "guiapp.h"
#include "mainface/mainface.h"
#include "core/startup.h"
#include "mpris/mprisservice.h"
#include "sharedir.h"
#include "testenv.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>

using namespace velora::test;

namespace {

bool alive(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line))
    return false;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

struct Opener {
  const char *name;
  std::function<void(MainFace &)> open;
};

} // namespace

TEST(MprisQuit, DuringEachDialogTheLoopEndsWithStatusZeroAndTheEngineEnds) {
  if (!QDBusConnection::sessionBus().isConnected())
    GTEST_SKIP() << "no session bus: this test runs inside dbus-run-session";
  ASSERT_FALSE(QStandardPaths::findExecutable("gdbus").isEmpty()) << "gdbus missing";
  if (!fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "engine not built";
  guiApp();
  const std::vector<Opener> openers = {
      {"About box", [](MainFace &w) { w.sltAbout(); }},
      {"open folder", [](MainFace &w) { w.buttonClick(5); }},
      {"equalizer presets", [](MainFace &w) { w.buttonClick(10); }},
      {"wallpaper", [](MainFace &w) { w.selectMenu(4); }},
      {"lyrics colour", [](MainFace &w) { w.openbutlrc(); }},
      {"saved playlists menu", [](MainFace &w) { w.buttonClick(25); }},
      {"editor's open playlist",
       [](MainFace &w) {
         w.openPlaylistEditor();
         w.playlistEditor->menuSelect(PlayList::OpenPlaylist);
       }},
  };
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  for (const Opener &opener : openers) {
    SCOPED_TRACE(opener.name);
    TempHome home;
    writeSilentEngineConfig(home.home());
    writeSilentWav(home.path("music/a.wav"), 30);
    writeFile(home.path(".xmms/xmms.m3u"), home.path("music/a.wav") + "\n");
    writeFile(home.path("playlist/saved.m3u"), home.path("music/a.wav") + "\n");
    setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1);
    setVeloraShareDir(QString::fromStdString(stageDir() + "/share/velora"));
    XMMSPlayer::launchWaitMs = 3000;
    QPointer<MainFace> w = startVelora(*guiApp(), 200);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(w);
    ASSERT_TRUE(XMMSPlayer::instance->isRunning());
    const pid_t engine = XMMSPlayer::enginePid();
    ASSERT_GT(engine, 0);

    bool returned = false, quitSent = false;
    QProcess client;
    QTimer::singleShot(0, w.data(), [&] {
      opener.open(*w);
      returned = true; // the command that opened the dialog came back
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!quitSent && (QApplication::activeModalWidget() || QApplication::activePopupWidget())) {
        quitSent = true;
        // What a panel widget sends (this playerctl has no "quit" command of its own).
        client.start("gdbus",
                     {"call", "--session", "--dest", MprisService::kServiceName, "--object-path",
                      MprisService::kObjectPath, "--method", "org.mpris.MediaPlayer2.Quit"});
      }
    });
    watch.start(20);
    QTimer watchdog; // never hang the suite
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    watchdog.start(60000);
    const int status = guiApp()->exec();
    watch.stop();
    watchdog.stop();
    client.waitForFinished(10000);

    EXPECT_TRUE(quitSent) << "the dialog never showed";
    if (status != 0)
      std::printf("gdbus: %s %s\n", client.readAllStandardOutput().constData(),
                  client.readAllStandardError().constData());
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(!w || w->closing());
    EXPECT_TRUE(waitUntil([&] { return !alive(engine); }, 5000)) << "the engine plays on";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_NE(readFile(home.path(".xmms/config")).find("Volume="), std::string::npos);
    delete w.data();
    delete XMMSPlayer::instance;
    XMMSPlayer::launchWaitMs = 1000;
    setVeloraShareDir(QString());
    if (alive(engine))
      kill(engine, SIGKILL);
  }
}
