// The playback speed and ReplayGain from the window: the speed keys, the Speed and ReplayGain
// menus and their notices, against a real engine, and keys remapped in the settings file.
#include "inputfixture.h"

#include "guiapp.h"

#include <xmms/xmmsctrl.h>

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
