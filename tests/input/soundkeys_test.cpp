// The playback speed and ReplayGain from the window: the speed keys, the Speed and ReplayGain
// menus and their notices, against a real engine, and keys remapped in the settings file; and
// the window's notice when the engine's sound device is lost.
#include "inputfixture.h"

#include "guiapp.h"

#include <QCoreApplication>
#include <xmms/xmmsctrl.h>

#include <chrono>

using namespace velora::test;

namespace {
QString times() { return QString(QChar(0x00D7)); }

// The action of a main-menu entry by its text, with its submenu.
QPopupMenu *submenu(MainFace &w, const QString &text) {
  for (QAction *a : w.mainMenu->QWidget::actions())
    if (a->text() == text)
      return qobject_cast<QPopupMenu *>(a->menu());
  return nullptr;
}
} // namespace

TEST_F(InputTest, SpeedKeysAndMenusSetTheEnginesSpeedWithANotice) {
  startEngine({song("a.wav", 60)});
  openWindow();
  ASSERT_FLOAT_EQ(xmms_remote_get_speed(0), 1.0f);

  // F4 slower by 0.05, F8 faster, each with its notice, auto-repeat included.
  EXPECT_TRUE(key(Qt::Key_F4, true));
  key(Qt::Key_F4, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.95f);
  EXPECT_EQ(w->noticeText, "Speed 0.95" + times());
  EXPECT_GT(w->noticeTicks, 0);
  for (int i = 0; i < 20; ++i)
    key(Qt::Key_F4, true, i > 0);
  key(Qt::Key_F4, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.5f); // no slower than half speed
  EXPECT_EQ(w->noticeText, "Speed 0.50" + times());
  key(Qt::Key_F8, true);
  key(Qt::Key_F8, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.55f);
  EXPECT_DOUBLE_EQ(playbackSpeed, 0.55);

  // A change made by another client is where the next step starts from.
  xmms_remote_set_speed(0, 1.95f);
  key(Qt::Key_F8, true);
  key(Qt::Key_F8, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 2.0f);
  key(Qt::Key_F8, true);
  key(Qt::Key_F8, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 2.0f); // no faster than double
  EXPECT_EQ(w->noticeText, "Speed 2.00" + times());

  // The Speed menu: a choice is sent, checked, and told.
  QPopupMenu *speed = submenu(*w, "Speed   ");
  ASSERT_NE(speed, nullptr);
  ASSERT_NE(speed->findItem(75), nullptr);
  EXPECT_EQ(speed->text(75), "0.75" + times());
  speed->findItem(75)->trigger();
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 0.75f);
  EXPECT_EQ(w->noticeText, "Speed 0.75" + times());
  EXPECT_TRUE(speed->isItemChecked(75));
  EXPECT_FALSE(speed->isItemChecked(100));
  xmms_remote_set_speed(0, 1.0f);
  emit speed->aboutToShow(); // opening the menu reads the engine again
  EXPECT_TRUE(speed->isItemChecked(100));
  EXPECT_FALSE(speed->isItemChecked(75));

  // The ReplayGain menu: four modes, the engine's one checked.
  QPopupMenu *gain = submenu(*w, "ReplayGain");
  ASSERT_NE(gain, nullptr);
  EXPECT_EQ(gain->count(), 4);
  emit gain->aboutToShow();
  EXPECT_TRUE(gain->isItemChecked(13)); // auto, the engine's default
  gain->findItem(12)->trigger();
  EXPECT_EQ(xmms_remote_get_replaygain_mode(0), 2);
  EXPECT_EQ(w->noticeText, "ReplayGain Album");
  EXPECT_TRUE(gain->isItemChecked(12));
  EXPECT_FALSE(gain->isItemChecked(13));
  gain->findItem(10)->trigger();
  EXPECT_EQ(xmms_remote_get_replaygain_mode(0), 0);
}

TEST_F(InputTest, SpeedKeysFollowTheSettingsFileAndNeedNoEngine) {
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nkey_speed_down=4145\nkey_speed_up=4144\n");
  startEngine({song("a.wav", 60)});
  openWindow();
  key(Qt::Key_F1, true); // remapped: faster
  key(Qt::Key_F1, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 1.05f);
  key(Qt::Key_F4, true); // no longer a speed key
  key(Qt::Key_F4, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 1.05f);
  key(Qt::Key_F2, true);
  key(Qt::Key_F2, false);
  EXPECT_FLOAT_EQ(xmms_remote_get_speed(0), 1.0f);

  // Without an engine the keys still answer, from the speed last known.
  engine.stop();
  key(Qt::Key_F2, true);
  key(Qt::Key_F2, false);
  EXPECT_EQ(w->noticeText, "Speed 0.95" + times());
}

// The engine plays to an output that takes 300 ms of audio and then nothing more, as a headset
// pulled out: after trying it again the engine goes on on its null output, and the window says
// why the music went silent, once for each time it happens.
TEST_F(InputTest, LostSoundDeviceIsToldInTheWindowOnceEachTime) {
  const std::string exe =
      privateEngine(home.root() + "/engine",
                    {"Input/" + stageDir() + "/lib/xmms/Input/libwavinput.so",
                     "Output/" + std::string(ENGINE_TEST_PLUGIN_DIR) + "/libstuckoutput.so"});
  startEngine({song("a.wav", 2)},
              "[xmms]\noutput_plugin=libstuckoutput.so\nshuffle=FALSE\nrepeat=FALSE\n", exe);
  openWindow("title_win=10,20,130,14,0,400,#ffffff\n"); // the test skin has no title otherwise
  int told = 0;
  QString reason;
  QObject::connect(player.get(), &XMMSPlayer::outputLost, [&](const QString &r) {
    ++told;
    reason = r;
  });
  const QString lost = "Sound device lost: playing silently";
  for (int round = 1; round <= 2; ++round) {
    xmms_remote_play(0);
    // Two stalls of three seconds each (the device, then the device opened again): generous
    // room for a loaded machine.
    ASSERT_TRUE(pumpUntil([&] { return told == round; }, 30000)) << "round " << round;
    EXPECT_EQ(reason, "libstuckoutput.so stopped taking audio");
    EXPECT_EQ(w->noticeText, lost);
    EXPECT_GT(w->noticeTicks, 10); // longer than a passing notice
    // The notice is what the title area shows: drawn, then the same area with the title alone.
    const QRect area(w->title_win.x(), w->title_win.y(), w->title_win.w(), w->title_win.h());
    w->drawTitle();
    const QImage withNotice = w->denseFrame().copy(area);
    w->noticeTicks = 0;
    w->drawTitle();
    EXPECT_NE(withNotice, w->denseFrame().copy(area)) << "the notice never reached the window";
    // The song goes on silently to its end; the polls that follow tell nothing more.
    ASSERT_TRUE(pumpUntil([&] { return !enginePlaying(); }, 20000));
    auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    pumpUntil([&] { return std::chrono::steady_clock::now() > settle; }, 5000);
    EXPECT_EQ(told, round);
  }
}
