// Hardware keys through the toolkit's key events, as the phone framework hands them over.
#include "inputfixture.h"

#include "guiapp.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

TEST_F(InputTest, VolumeKeysStepByFiveAndStopAtTheEnds) {
  startEngine({song("a.wav", 20)});
  openWindow();
  const int maxVolume = 65; // "MaximumVolume" default: the engine volume of 100 percent
  struct Case {
    int mode, from, key, expected;
  };
  const Case cases[] = {
      {VerticalMode, 100, Qt::Key_F11, 100},   {VerticalMode, 97, Qt::Key_F11, 100},
      {VerticalMode, 0, Qt::Key_F12, 0},       {VerticalMode, 50, Qt::Key_F12, 45},
      {HorizontalMode, 100, Qt::Key_F11, 100}, {HorizontalMode, 97, Qt::Key_F11, 100},
      {HorizontalMode, 0, Qt::Key_F12, 0},     {HorizontalMode, 50, Qt::Key_F11, 55},
      {MiniMode, 100, Qt::Key_F11, 100},       {MiniMode, 0, Qt::Key_F12, 0},
      {MiniMode, 50, Qt::Key_F12, 45},
  };
  for (const Case &c : cases) {
    windowMode = c.mode;
    volumePercent = c.from;
    xmms_remote_set_main_volume(0, 7); // so that a volume not sent shows
    EXPECT_TRUE(key(c.key, true));
    EXPECT_EQ(volumePercent, c.expected) << "mode " << c.mode << " from " << c.from;
    EXPECT_EQ(engineVolume(), c.expected * maxVolume / 100)
        << "mode " << c.mode << " from " << c.from;
    key(c.key, false);
  }
  // Holding the key: each auto-repeated press is another step.
  windowMode = VerticalMode;
  volumePercent = 50;
  key(Qt::Key_F11, true);
  key(Qt::Key_F11, true, true);
  key(Qt::Key_F11, true, true);
  key(Qt::Key_F11, false);
  EXPECT_EQ(volumePercent, 65);
}

TEST_F(InputTest, RemappedKeysActAsTheEarlierFunctionAndEveryKeyIsPrintedAndConsumed) {
  startEngine({song("a.wav", 20), song("b.wav", 20)});
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nkey_left=4154\n");
  openWindow();
  ASSERT_EQ(keyLeft, keyVolUp);
  player->playAt(1);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  volumePercent = 40;
  EXPECT_TRUE(key(Qt::Key_F11, true)); // the code of both: volume up wins
  key(Qt::Key_F11, false);
  EXPECT_EQ(volumePercent, 45);
  spinFor(200);
  EXPECT_EQ(enginePosition(), 1); // never "previous"

  // "KEY_line" (F5) with "sltfwd" false: printed and consumed, nothing else.
  ASSERT_FALSE(sltfwdEnabled);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(key(Qt::Key_F5, true));
  EXPECT_TRUE(key(Qt::Key_F5, true, true));
  EXPECT_TRUE(key(Qt::Key_F5, false));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("key:4148  pressed:1  repeat:0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("key:4148  pressed:1  repeat:1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("key:4148  pressed:0  repeat:0\n"), std::string::npos) << out;
  spinFor(200);
  EXPECT_EQ(enginePosition(), 1);
  // Enabled, it skips to the next song whatever the play state.
  sltfwdEnabled = true;
  player->playAt(0);
  ASSERT_TRUE(waitUntil([&] { return enginePosition() == 0 && enginePlaying(); }));
  key(Qt::Key_F5, true);
  EXPECT_TRUE(waitUntil([&] { return enginePosition() == 1; }));
  sltfwdEnabled = false;

  // Enter toggles play and pause; the right key is "next" and ignored while paused.
  EXPECT_TRUE(key(Qt::Key_Return, true));
  EXPECT_TRUE(waitUntil([&] { return enginePaused(); }));
  const int pos = enginePosition();
  key(Qt::Key_Right, true);
  spinFor(200);
  EXPECT_EQ(enginePosition(), pos);
  // A key the phone had no number for reaches no function, not even the unset ones (code 0).
  keyNext = 0;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(key(Qt::Key_VolumeUp, true));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("key:0  pressed:1  repeat:0\n"),
            std::string::npos);
}

TEST_F(InputTest, LockKeyGrabsTheKeyboardUntilReleaseOrFocus) {
  openWindow();
  key(Qt::Key_F3, true);
  EXPECT_TRUE(keyboardGrabbed);
  key(Qt::Key_F3, true, true); // repeats do not grab twice
  EXPECT_TRUE(keyboardGrabbed);
  key(Qt::Key_F3, false);
  EXPECT_FALSE(keyboardGrabbed);
  key(Qt::Key_F3, true);
  ASSERT_TRUE(keyboardGrabbed);
  QFocusEvent focus(QEvent::FocusIn);
  QCoreApplication::sendEvent(w.get(), &focus);
  EXPECT_FALSE(keyboardGrabbed);
}
