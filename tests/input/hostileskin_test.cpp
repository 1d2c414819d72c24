// Hostile skins: skins.conf values that are garbage, negative, zero or huge, with every divisor
// the touch code takes from the skin at zero over the whole screen, and truncated pictures. The
// window opens, and stylus sweeps, drags and keys in every mode and panel neither crash nor leave
// a value out of its range; the engine is still served afterwards.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {

// Every element key given the same list.
std::string everyKey(const std::string &list) {
  std::string body;
  for (const QString &key : MainFace::verticalKeys() + MainFace::horizontalKeys())
    body += key.toStdString() + "=" + list + "\n";
  return body;
}

std::string truncatedPng(const QImage &image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.left(bytes.size() / 2).toStdString();
}

// The exit buttons are tapped too; the window stays, as its test owns it.
struct KeepOpen : QObject {
  bool eventFilter(QObject *, QEvent *e) override { return e->type() == QEvent::Close; }
};

} // namespace

TEST_F(InputTest, HostileSkinsOpenAndEveryTouchDragAndKeyStaysSound) {
  startEngine({song("a.wav", 30), song("b.wav", 30)});
  const std::string skins[] = {
      // Zero travel under the whole screen: "posbar" w - 32, "H_posbar" h - 32, "plist_Bar"
      // h - 20, the volume tracks and the "EQ" band spacing.
      "posbar=0,0,32,320,0,0,0,0,10,10\nH_posbar=0,0,240,32,0,0,0,0,10,10\n"
      "VL_BTN=0,0,14,320,0,0,0,0,10,10\nH_VL_BTN=0,0,240,16,0,0,0,0,10,10\n"
      "plist_Bar=0,0,240,20,0,0,0,0,10,10,white\nEQ=0,0,240,320,0,0,0,0,0,0,0\n"
      "lrcwin_show=0,0,240,320\nmwin_Y=0\nmwin_H=0\n",
      // Negative sizes and positions.
      everyKey("-50,-60,-240,-320,-7,-9,-1,-1,-30,-40,-16") + "mwin_Y=-320\nmwin_H=-5\n",
      // Numbers past any screen and past int.
      everyKey("99999999999,2147483648,100000,100000,-99999999999,4000000000,1e9,100000,100000,"
               "100000,100000") +
          "mwin_Y=99999999999\nmwin_H=2147483647\n",
      // Not numbers at all.
      everyKey("abc,,#zz, 12 ,0x10,--5,+3,1.5,nan,inf,=") +
          "mwin_Y=x\nmwin_H=\nwin_enabled=maybe\n",
  };
  // Dialogs and menus the sweep opens are closed again at once.
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
      dialog->reject();
    if (QWidget *popup = QApplication::activePopupWidget())
      popup->close();
  });
  closer.start(20);
  KeepOpen keepOpen;
  for (size_t round = 0; round <= std::size(skins); ++round) {
    SCOPED_TRACE(round);
    windowMode = VerticalMode;
    w.reset();
    openWindow(round < std::size(skins) ? skins[round] : "");
    const std::string folder = home.path("skins/default/");
    if (round == std::size(skins)) // the plain test skin with half its sheet
      writeFile(folder + "skins.png", truncatedPng(codedSheet()));
    writeFile(folder + "mini_btn.png", truncatedPng(codedSheet(100, 80)));
    writeFile(folder + "mini_main.png", truncatedPng(codedSheet(240, 25)));
    w.reset();
    w = std::make_unique<MainFace>(nullptr, nullptr);
    w->installEventFilter(&keepOpen);
    w->composeFrame();
    ASSERT_EQ(w->frameImage().size(), QSize(240, 320)); // the window still shows

    player->playAt(0);
    ASSERT_TRUE(waitPlaying());
    for (int mode : {VerticalMode, HorizontalMode, MiniMode}) {
      for (int panel = 0; panel < 3; ++panel) {
        windowMode = mode;
        playlistPanelShown = panel == 0;
        lyricsPanelShown = panel == 1;
        equalizerPanelShown = panel == 2;
        playingFlag = true;
        w->composeFrame();
        for (int x = -4; x < 248; x += 12) {
          for (int y = -4; y < 330; y += 12) {
            tap(x, y);
            press(x, y);
            move(x + 5, y + 7);
            move(0, 0);
            move(239, 319);
            release(239 - x, 319 - y);
          }
        }
        for (int k : {Qt::Key_F11, Qt::Key_F12, Qt::Key_Return, Qt::Key_Left, Qt::Key_Right,
                      Qt::Key_Up, Qt::Key_Down, Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7,
                      Qt::Key_F9, Qt::Key_VolumeUp}) {
          key(k, true);
          key(k, true, true);
          key(k, false);
        }
        hPanelsHidden = false;
        keyboardGrabbed = false;
        w->releaseKeyboard();
        EXPECT_GE(volumePercent, 0);
        EXPECT_LE(volumePercent, 100);
        EXPECT_GE(w->positionPercent, -1);
        EXPECT_LE(w->positionPercent, 100);
        EXPECT_EQ(firstPlaylistLine, 0); // two entries: always the first page
        for (int v : eqValues) {
          EXPECT_GE(v, -25);
          EXPECT_LE(v, 25);
        }
      }
    }
    windowMode = VerticalMode;
    // The engine was told only sound things and still answers.
    EXPECT_GT(xmms_remote_get_version(0), 0);
    EXPECT_GE(enginePosition(), 0);
    EXPECT_LT(enginePosition(), 2);
  }
}
