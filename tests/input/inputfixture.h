// A main window on a small coded skin, a real engine in a temporary home and synthesised stylus
// and key events. Every element of the skin lies apart from the others, so a point names one
// control, and its sheet pictures are coded so the frame image tells which picture was drawn.
#pragma once

#include "mainface/mainface.h"
#include "testenv.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Skin geometry shared by the tests (x, y, w, h, sx, sy, ...).
namespace skin {
constexpr int kTimeX = 60, kTimeY = 30, kTimeW = 9, kTimeH = 13, kTimeSy = 680;
// eqCentreY = EQ y + h / 2
constexpr int kEqX = 40, kEqY = 170, kEqSpacing = 16, kEqCentre = 170 + 81 / 2;
extern const char kBody[];
} // namespace skin

// Waits up to ms for cond, with the window's timers and queued signals running meanwhile.
template <class Cond> bool pumpUntil(Cond cond, int ms) {
  return velora::test::waitUntil(
      [&] {
        QCoreApplication::processEvents();
        return cond();
      },
      ms);
}

class InputTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Writes ~/.xmms/config (null output in real time unless extra says otherwise) and the playlist,
  // then starts the engine (the staged one unless exe names another) and the controller.
  void startEngine(const std::vector<std::string> &playlist, const std::string &config = "",
                   const std::string &exe = "");
  // Opens the window on the test skin, with skinExtra appended to skins.conf.
  void openWindow(const std::string &skinExtra = "");

  void press(int x, int y);
  void move(int x, int y);
  void release(int x, int y);
  void tap(int x, int y) {
    press(x, y);
    release(x, y);
  }
  // A key through the toolkit, as the phone framework translates it.
  bool key(int qtKey, bool pressed, bool autoRepeat = false);

  // The engine's state, asked directly.
  int enginePosition() const;
  bool enginePlaying() const;
  bool enginePaused() const;
  int engineVolume() const;
  bool waitPlaying(int timeoutMs = 3000) const;

  std::string song(const std::string &name, int seconds);

  velora::test::TempHome home;
  velora::test::EngineProcess engine;
  std::unique_ptr<XMMSPlayer> player;
  std::unique_ptr<MainFace> w;
};
