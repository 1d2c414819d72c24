// Start-up: the window opens after the engine checks, with or without an engine.
#include "core/startup.h"
#include "guiapp.h"
#include "mainface/mainface.h"
#include "testenv.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QApplication>
#include <QPointer>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <cstdlib>
#include <mutex>

using namespace velora::test;

namespace {
std::mutex logLock;
QStringList debugLines;
void capture(QtMsgType, const QMessageLogContext &, const QString &text) {
  std::lock_guard<std::mutex> g(logLock);
  debugLines << text;
}

} // namespace

TEST(Startup, WithoutAnEngineTheWindowStillOpensAfterTenChecks) {
  guiApp();
  TempHome home;
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  makeDirs(home.path("empty-bin"));
  setenv("PATH", home.path("empty-bin").c_str(), 1);
  XMMSPlayer::launchWaitMs = 20;
  debugLines.clear();
  QtMessageHandler old = qInstallMessageHandler(capture);

  MainFace *window = startVelora(*guiApp(), 20);

  qInstallMessageHandler(old);
  setenv("PATH", oldPath.c_str(), 1);
  XMMSPlayer::launchWaitMs = 1000;
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->size(), QSize(240, 320));
  EXPECT_EQ(debugLines.count("MAIN: xmms not started"), 10);
  EXPECT_EQ(debugLines.count("MAIN: xmms started"), 0);
  EXPECT_TRUE(debugLines.contains("XMMSPlayer: launching xmms"));
  EXPECT_FALSE(debugLines.contains("XMMSPlayer: player started"));
  ASSERT_NE(XMMSPlayer::instance, nullptr);
  EXPECT_FALSE(XMMSPlayer::instance->isRunning());

  QPointer<MainFace> guard(window);
  window->close();
  spinUntil([&] { return guard.isNull(); }, 2000);
  EXPECT_TRUE(guard.isNull()); // the window deletes itself when its close is accepted
  delete XMMSPlayer::instance;
}

TEST(Startup, WithARunningEngineNothingIsLaunchedAndTheFirstCheckSucceeds) {
  if (!fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home());
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  debugLines.clear();
  QtMessageHandler old = qInstallMessageHandler(capture);
  MainFace *window = startVelora(*guiApp(), 20);
  qInstallMessageHandler(old);
  EXPECT_EQ(debugLines.count("MAIN: xmms started"), 1);
  EXPECT_EQ(debugLines.count("MAIN: xmms not started"), 0);
  EXPECT_FALSE(debugLines.contains("XMMSPlayer: launching xmms"));
  QPointer<MainFace> guard(window);
  window->close(); // ends the engine of this session
  EXPECT_TRUE(waitUntil([&] { return !engine.running(); }, 5000));
  spinUntil([&] { return guard.isNull(); }, 2000);
  delete XMMSPlayer::instance;
}
