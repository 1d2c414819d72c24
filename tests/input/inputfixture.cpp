#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace skin {
const char kBody[] =
    "mwin_Y=0\nmwin_H=320\n"
    "prev=10,60,20,16,0,400\nplay=40,60,20,16,40,400\nstop=90,60,20,16,100,400\n"
    "next=120,60,20,16,130,400\n"
    "posbar=10,90,132,12,160,400,300,400,28,10\n"
    "VL_BTN=150,60,64,10,0,440,300,420,12,10\n"
    "btn_plistwin=10,140,30,12,0,460\nbtn_lrcwin=50,140,30,12,40,460\n"
    "btn_eqwin=90,140,30,12,80,460\n"
    "exit_win=200,5,20,12,0,500\nmini_win=170,5,20,12,30,500\nH_win=140,5,20,12,60,500\n"
    "audio3d_btn=200,100,20,10,100,500\nbassbooster=200,120,20,10,130,500\n"
    "pos_A=150,100,20,10,160,500\npos_B=150,120,20,10,190,500\n"
    "time_win=60,30,9,13,0,680,60,20\n"
    "plistwin=0,160,240,160,0,0\nplist_Bar=220,170,12,120,220,530,300,530,10,20,white\n"
    "shuf_BTN=10,295,20,10,0,560\nrepeat_BTN=40,295,20,10,30,560\n"
    "OP_BTN=70,295,20,10,60,560\nplist_BTN=100,295,20,10,90,560\n"
    "lrcwin=0,160,240,160,0,160\nshowlrc_BTN=10,295,20,10,120,560\n"
    "textcodec_BTN=40,295,20,10,150,560\nfont_BTN=70,295,20,10,180,560\n"
    "color_BTN=100,295,20,10,210,560\n"
    "eqwin=0,160,240,160,0,320\nEQ=40,170,12,81,0,600,200,600,10,6,16\n"
    "EQ_Preamp=20,170,12,81,250,600\n"
    "EQE_BTN=10,295,20,10,240,560\npresets_BTN=40,295,20,10,270,560\n"
    "EQ_BTN_ZERO=70,295,20,10,300,560\n"
    "eqalzr_win=120,300,108,16,300,300,108,21\n";
} // namespace skin

void InputTest::SetUp() {
  guiApp();
  XMMSPlayer::instance = nullptr;
  playingFlag = pausedFlag = false;
  abRepeat = pointAMarked = pointBMarked = false;
  pointA = pointB = currentSecond = 0;
  hPanelsHidden = false;
  keyboardGrabbed = false;
  lyricsLoaded = false;
  for (int &v : eqValues)
    v = 0;
}

void InputTest::TearDown() {
  w.reset();
  player.reset();
  engine.stop();
  windowMode = VerticalMode;
}

void InputTest::startEngine(const std::vector<std::string> &playlist, const std::string &config,
                            const std::string &exe) {
  writeFile(home.path(".xmms/config"),
            config.empty() ? "[xmms]\noutput_plugin=libnullout.so\nshuffle=FALSE\nrepeat=FALSE\n"
                           : config);
  std::string m3u;
  for (const std::string &entry : playlist)
    m3u += entry + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), m3u);
  ASSERT_TRUE(engine.start(5000, {}, exe));
  player = std::make_unique<XMMSPlayer>(nullptr, nullptr);
  ASSERT_TRUE(player->isRunning());
}

void InputTest::openWindow(const std::string &skinExtra) {
  writeTestSkin(home.home(), "default", std::string(skin::kBody) + skinExtra);
  w = std::make_unique<MainFace>(nullptr, nullptr);
  w->composeFrame();
}

namespace {
void mouse(QWidget *target, QEvent::Type type, int x, int y) {
  const QPointF local(x, y);
  QMouseEvent e(type, local, target->mapToGlobal(local), Qt::LeftButton,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &e);
}
} // namespace

void InputTest::press(int x, int y) { mouse(w.get(), QEvent::MouseButtonPress, x, y); }
void InputTest::move(int x, int y) { mouse(w.get(), QEvent::MouseMove, x, y); }
void InputTest::release(int x, int y) { mouse(w.get(), QEvent::MouseButtonRelease, x, y); }

bool InputTest::key(int qtKey, bool pressed, bool autoRepeat) {
  QKeyEvent e(pressed ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, QString(),
              autoRepeat);
  e.ignore();
  QCoreApplication::sendEvent(w.get(), &e);
  return e.isAccepted();
}

int InputTest::enginePosition() const { return xmms_remote_get_playlist_pos(0); }
bool InputTest::enginePlaying() const {
  return xmms_remote_is_playing(0) && !xmms_remote_is_paused(0);
}
bool InputTest::enginePaused() const { return xmms_remote_is_paused(0) != 0; }
int InputTest::engineVolume() const { return xmms_remote_get_main_volume(0); }
bool InputTest::waitPlaying(int timeoutMs) const {
  return waitUntil([this] { return enginePlaying(); }, timeoutMs);
}

std::string InputTest::song(const std::string &name, int seconds) {
  const std::string path = home.path("music/" + name);
  makeDirs(home.path("music"));
  writeSilentWav(path, seconds);
  return path;
}
