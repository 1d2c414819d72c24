#include "dialogfixture.h"

#include "core/enginerestart.h"

#include "guiapp.h"
#include "sharedir.h"
#include "testskin.h"

#include <xmms/xmmsctrl.h>

#include <cstdlib>
#include <fstream>

using namespace velora::test;

void DialogTest::SetUp() {
  guiApp();
  setVeloraShareDir(QString::fromStdString(stageDir() + "/share/velora"));
  XMMSPlayer::instance = nullptr;
  XMMSPlayer::launchWaitMs = 200; // the restart polls on for the engine itself
  playingFlag = pausedFlag = false;
  for (int &v : eqValues)
    v = 0;
  const char *path = std::getenv("PATH");
  oldPath = path ? path : "";
  setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1);
}

void DialogTest::TearDown() {
  w.reset();
  player.reset();
  // An engine started again by the window is nobody's child: ask it to quit and wait.
  xmms_remote_quit(0);
  waitUntil([this] { return xmms_remote_get_version(0) == 0 && engineVersionPid() < 0; }, 10000);
  engine.stop();
  setenv("PATH", oldPath.c_str(), 1);
  windowMode = VerticalMode;
}

void DialogTest::startEngine(const std::vector<std::string> &playlist) {
  writeFile(home.path(".xmms/config"),
            "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n");
  std::string m3u;
  for (const std::string &entry : playlist)
    m3u += entry + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), m3u);
  ASSERT_TRUE(engine.start(10000));
  player = std::make_unique<XMMSPlayer>(nullptr, nullptr);
  ASSERT_TRUE(player->isRunning());
}

void DialogTest::openWindow() {
  writeTestSkin(home.home(), "default", "mwin_Y=0\nmwin_H=320\n");
  w = std::make_unique<MainFace>(nullptr, nullptr);
}

bool DialogTest::waitForRestart(int timeoutMs) {
  return spinUntil([] { return !enginerestart::busy(); }, timeoutMs);
}

std::vector<std::string> DialogTest::enginePlaylist() const {
  std::vector<std::string> entries;
  const int n = xmms_remote_get_playlist_length(0);
  for (int i = 0; i < n; ++i) {
    char *name = xmms_remote_get_playlist_file(0, i);
    entries.push_back(name ? name : "");
    std::free(name);
  }
  return entries;
}

bool DialogTest::enginePlaying() const {
  return xmms_remote_is_playing(0) && !xmms_remote_is_paused(0);
}

int DialogTest::engineVersionPid() const {
  const pid_t pid = XMMSPlayer::enginePid();
  return pid > 0 ? pid : -1;
}

std::string DialogTest::song(const std::string &dir, const std::string &name, int seconds) {
  makeDirs(home.path(dir));
  const std::string path = home.path(dir + "/" + name);
  writeSilentWav(path, seconds);
  return path;
}
