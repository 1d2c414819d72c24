// A main window on a plain skin in a temporary home, with a real engine playing into the null
// output, for the commands that restart the engine on a new playlist. The controller starts
// the engine from the staged tree, as the installed program does from its own.
#pragma once

#include "mainface/mainface.h"
#include "testenv.h"
#include "xmmsPlayer.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class DialogTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Writes the engine configuration and playlist, starts the engine and the controller.
  void startEngine(const std::vector<std::string> &playlist);
  void openWindow();

  // Runs the event loop until the engine restart under way (if any) is done: restarts wait on
  // timers, not on the caller.
  static bool waitForRestart(int timeoutMs = 20000);

  // The engine's playlist as it reports it, and whether it plays.
  std::vector<std::string> enginePlaylist() const;
  bool enginePlaying() const;
  int engineVersionPid() const; // the pid in the engine's pid file, -1 when there is none

  // A silent WAV of the given length under home/dir.
  std::string song(const std::string &dir, const std::string &name, int seconds = 20);

  velora::test::TempHome home;
  velora::test::EngineProcess engine;
  std::unique_ptr<XMMSPlayer> player;
  std::unique_ptr<MainFace> w;

private:
  std::string oldPath;
};

// Runs act on the first modal dialog of type T once it is up (modal dialogs block in exec()).
template <class T> void whenModal(std::function<void(T *)> act) {
  auto *timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start(10);
}
