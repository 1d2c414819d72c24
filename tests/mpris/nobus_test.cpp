// Without a session bus (a bare console, a service manager's job) the player starts and plays
// as it always did, and says once that desktop control is off.
#include "core/startup.h"
#include "mainface/mainface.h"
#include "mpris/mprisservice.h"
#include "mpristools.h"
#include "testenv.h"
#include "testskin.h"
#include "xmmsPlayer.h"

#include <QPointer>
#include <QStringList>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {
QStringList messages;
void capture(QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; }
} // namespace

TEST(MprisNoBus, StartsAndPlaysWithoutDesktopControl) {
  guiApp();
  TempHome home;
  // A bus address where no bus listens: what a console without a desktop session gives.
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + home.root() + "/no-bus").c_str(), 1);
  const std::string song = home.path("music/tone.wav");
  makeDirs(home.path("music"));
  writeFile(song, toneWav(2, 16000));
  writeFile(home.path(".xmms/xmms.m3u"), song + "\n");
  const std::string out = home.path("heard.wav");
  writeFile(home.path(".xmms/config"), "[xmms]\noutput_plugin=libdiskwriter.so\n[disk_writer]\n"
                                       "file=" +
                                           out + "\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());

  messages.clear();
  QtMessageHandler old = qInstallMessageHandler(capture);
  MainFace *window = startVelora(*guiApp(), 20);
  // A second try (another window of the process) does not say it again.
  EXPECT_EQ(MprisService::start(window), nullptr);
  qInstallMessageHandler(old);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(messages.filter("desktop control").size(), 1) << messages.join('\n').toStdString();
  EXPECT_EQ(messages.filter("no D-Bus session bus").size(), 1);

  window->buttonClick(1);
  EXPECT_TRUE(playingFlag);
  ASSERT_TRUE(waitUntil([&] { return fileExists(out) && !xmms_remote_is_playing(0); }, 8000));
  auto [peak, count] = peakAndCount(readFile(out));
  EXPECT_EQ(count, 2u * 8000u);
  EXPECT_GT(peak, 16000 / 10);

  QPointer<MainFace> guard(window);
  window->close(); // ends the engine of this session
  EXPECT_TRUE(waitUntil([&] { return !engine.running(); }, 5000));
  spinUntil([&] { return guard.isNull(); }, 2000);
  delete XMMSPlayer::instance;
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
