// The window at other scales than one device pixel per skin pixel, with the shipped default skin:
// taps land on the control under them, text is drawn at the device's resolution, and a landscape
// window shows the horizontal mode upright. The expected window positions are worked out here
// from the skin's own rectangles, not through the window's mapping.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

using namespace velora::test;

namespace {

std::unique_ptr<MainFace> openShipped(TempHome &home, const std::string &settings = "") {
  const QString share = QString::fromStdString(stageDir()) + "/share/velora";
  if (!QFileInfo::exists(share + "/skins/default/skins.conf"))
    return nullptr;
  setVeloraShareDir(share);
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\n" + settings);
  guiApp();
  windowMode = VerticalMode;
  hPanelsHidden = false;
  playingFlag = pausedFlag = false;
  lyricsLoaded = false;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  w->titleTimer->stop();
  w->checkTimer->stop();
  return w;
}

void sizeTo(MainFace &w, int width, int height) {
  w.resize(width, height);
  w.show();
  spinUntil([&] { return w.width() == width && w.height() == height; });
}

void mouse(MainFace &w, QEvent::Type type, QPointF at) {
  QMouseEvent e(type, at, w.mapToGlobal(at), Qt::LeftButton,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}

// The window point over the centre of a skin rectangle, the picture filling the window at
// `scale` from its top-left corner.
QPointF centreAt(const SkinElement &e, double scale) {
  return QPointF((e.x() + e.w() / 2.0) * scale, (e.y() + e.h() / 2.0) * scale);
}

void forget(MainFace &w) {
  w.pressedElement = w.volumeDrag = w.positionDrag = w.playlistBarDrag = w.eqDragIndex = -1;
  w.eqZeroPressed = false;
}

struct Expect {
  const char *key;
  int id;
};

} // namespace

TEST(Scale, TapsReachTheControlUnderThemAtEveryScale) {
  for (const double scale : {1.5, 2.0, 3.0}) {
    SCOPED_TRACE(scale);
    TempHome home;
    auto w = openShipped(home);
    if (!w)
      GTEST_SKIP() << "the default skin is not staged";
    sizeTo(*w, qRound(240 * scale), qRound(320 * scale));
    ASSERT_NEAR(w->denseFrame().devicePixelRatio(), scale, 1e-6);
    ASSERT_EQ(w->denseFrame().width(), qRound(240 * scale));

    auto pressId = [&](const char *key) {
      const SkinElement *e = w->element(QString::fromLatin1(key));
      forget(*w);
      mouse(*w, QEvent::MouseButtonPress, centreAt(*e, scale));
      const int id = w->pressedElement;
      forget(*w);
      return id;
    };

    // Vertical mode: the top of the window and the playlist panel.
    windowMode = VerticalMode;
    playlistPanelShown = true;
    lyricsPanelShown = equalizerPanelShown = false;
    for (const Expect &x : {Expect{"prev", 0},
                            {"play", 1},
                            {"stop", 3},
                            {"next", 4},
                            {"exit_win", 22},
                            {"mini_win", 23},
                            {"H_win", 24},
                            {"audio3d_btn", 16},
                            {"bassbooster", 17},
                            {"pos_A", 20},
                            {"pos_B", 21},
                            {"btn_plistwin", 11},
                            {"btn_lrcwin", 12},
                            {"btn_eqwin", 13},
                            {"shuf_BTN", 6},
                            {"repeat_BTN", 7},
                            {"OP_BTN", 5},
                            {"plist_BTN", 25}})
      EXPECT_EQ(pressId(x.key), x.id) << x.key;
    mouse(*w, QEvent::MouseButtonPress, centreAt(w->VL_BTN, scale));
    EXPECT_EQ(w->volumeDrag, 0);
    forget(*w);
    mouse(*w, QEvent::MouseButtonPress, centreAt(w->plist_Bar, scale));
    EXPECT_EQ(w->playlistBarDrag, 0);
    forget(*w);

    // The equalizer panel: its buttons, the reset button and a band column.
    playlistPanelShown = false;
    equalizerPanelShown = true;
    EXPECT_EQ(pressId("presets_BTN"), 10);
    EXPECT_EQ(pressId("EQE_BTN"), 8);
    mouse(*w, QEvent::MouseButtonPress, centreAt(w->EQ_BTN_ZERO, scale));
    EXPECT_TRUE(w->eqZeroPressed);
    forget(*w);
    const int spacing = w->EQ.field(10);
    const QPointF band4((w->EQ.x() + 4 * spacing + spacing / 2.0) * scale,
                        (w->EQ.y() + w->EQ.h() / 2.0) * scale);
    mouse(*w, QEvent::MouseButtonPress, band4);
    EXPECT_EQ(w->eqDragIndex, 4);
    forget(*w);

    // The lyrics panel acts on release: a tap flips its switches.
    equalizerPanelShown = false;
    lyricsPanelShown = true;
    for (SkinElement *e : {&w->textcodec_BTN, &w->showlrc_BTN}) {
      bool &flag = e == &w->textcodec_BTN ? lyricsBig5 : showLyrics;
      const bool before = flag;
      mouse(*w, QEvent::MouseButtonPress, centreAt(*e, scale));
      mouse(*w, QEvent::MouseButtonRelease, centreAt(*e, scale));
      EXPECT_NE(flag, before) << e->join(',').toStdString();
    }
    EXPECT_EQ(pressId("font_BTN"), 14); // held until its release draws it released
    if (w->fontMenu)
      w->fontMenu->hide();
    lyricsPanelShown = false;
    playlistPanelShown = true;

    // Horizontal mode on a portrait window: the picture is turned, the elements keep their
    // portrait rectangles.
    windowMode = HorizontalMode;
    w->repaintAll();
    for (const Expect &x : {Expect{"H_prev", 0},
                            {"H_play", 1},
                            {"H_stop", 3},
                            {"H_next", 4},
                            {"H_exit_win", 22},
                            {"H_mini_win", 23},
                            {"V_win_btn", 24},
                            {"H_pos_A", 20},
                            {"H_pos_B", 21}})
      EXPECT_EQ(pressId(x.key), x.id) << x.key;
    // The turned volume track: a press on it starts a drag.
    mouse(*w, QEvent::MouseButtonPress, centreAt(w->H_VL_BTN, scale));
    EXPECT_EQ(w->volumeDrag, 0);
    forget(*w);

    // Mini mode: the strip scales the same way; its buttons are fixed zones.
    windowMode = MiniMode;
    sizeTo(*w, qRound(240 * scale), qRound(48 * scale));
    struct Mini {
      double x, y;
      int id;
    };
    for (const Mini &m :
         {Mini{229, 10, 22}, {191, 10, 23}, {209, 10, 24}, {15, 13, 0}, {36, 13, 1}, {57, 13, 4}}) {
      forget(*w);
      mouse(*w, QEvent::MouseButtonPress, QPointF(m.x * scale, m.y * scale));
      EXPECT_EQ(w->pressedElement, m.id) << m.x;
    }
    forget(*w);
    windowMode = VerticalMode;
  }
}

TEST(Scale, TextIsDrawnAtTheDevicesResolution) {
  TempHome home1, home3;
  auto one = openShipped(home1);
  if (!one)
    GTEST_SKIP() << "the default skin is not staged";
  sizeTo(*one, 240, 320);
  const QString title = QStringLiteral("Crisp at any scale");
  one->setTitle(title);
  one->composeFrame();
  one->drawTitle();
  const QImage small = one->denseFrame().copy();
  one.reset();

  auto three = openShipped(home3);
  sizeTo(*three, 720, 960);
  three->setTitle(title);
  three->composeFrame();
  three->drawTitle();
  const QImage &dense = three->denseFrame();
  ASSERT_EQ(dense.size(), QSize(720, 960));
  ASSERT_EQ(small.size(), QSize(240, 320));

  // In the title area, a frame drawn at 3x has edges inside what would be one enlarged pixel,
  // and differs from the 1x frame enlarged pixel for pixel.
  const SkinElement &t = three->title_win;
  int split = 0, differ = 0, blocks = 0;
  for (int y = t.y(); y < t.y() + t.h(); ++y)
    for (int x = t.x(); x < t.x() + t.w(); ++x) {
      ++blocks;
      const QRgb big = small.pixel(x, y);
      bool uniform = true;
      for (int dy = 0; dy < 3; ++dy)
        for (int dx = 0; dx < 3; ++dx) {
          const QRgb d = dense.pixel(3 * x + dx, 3 * y + dy);
          uniform = uniform && d == dense.pixel(3 * x, 3 * y);
          if (std::abs(qGray(d) - qGray(big)) > 24)
            ++differ;
        }
      if (!uniform)
        ++split;
    }
  EXPECT_GT(split, blocks / 20) << "the title is an enlargement of a small picture";
  EXPECT_GT(differ, 50);
  // The 1x view the pixel tests read is 240 x 320 and still shows the title's ink.
  const QImage view = three->frameImage();
  EXPECT_EQ(view.size(), QSize(240, 320));
  int ink = 0;
  for (int y = t.y(); y < t.y() + t.h(); ++y)
    for (int x = t.x(); x < t.x() + t.w(); ++x)
      ink += qGray(view.pixel(x, y)) > 110;
  EXPECT_GT(ink, 20);
}

TEST(Scale, LandscapeWindowShowsTheHorizontalModeUpright) {
  TempHome home;
  auto w = openShipped(home);
  if (!w)
    GTEST_SKIP() << "the default skin is not staged";
  sizeTo(*w, 480, 640);
  ASSERT_EQ(windowMode, VerticalMode);

  // The shell turns the screen: 640 x 480 shows the 320 x 240 landscape picture at 2x, upright.
  sizeTo(*w, 640, 480);
  ASSERT_EQ(windowMode, HorizontalMode);
  EXPECT_TRUE(w->showsUpright());
  const QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(shot.size(), QSize(640, 480));
  const QImage frame = w->frameImage();
  // Landscape point (X, Y) is stored at portrait (Y, 319 - X) of the frame: compare a grid.
  int same = 0, total = 0;
  for (int Y = 2; Y < 240; Y += 7)
    for (int X = 2; X < 320; X += 7) {
      ++total;
      const QRgb a = shot.pixel(2 * X + 1, 2 * Y + 1), b = frame.pixel(Y, 319 - X);
      if (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
              std::abs(qBlue(a) - qBlue(b)) <
          40)
        ++same;
    }
  EXPECT_GT(same, total * 9 / 10);
  // Turned the other way it would not match.
  int turnedSame = 0;
  for (int Y = 2; Y < 240; Y += 7)
    for (int X = 2; X < 320; X += 7) {
      const QRgb a = shot.pixel(2 * X + 1, 2 * Y + 1), b = frame.pixel(239 - Y, X);
      turnedSame += std::abs(qGray(a) - qGray(b)) < 8;
    }
  EXPECT_LT(turnedSame, same);

  // Touch follows the upright picture: "H_prev" (portrait rectangle of the landscape
  // control) is pressed at its landscape place.
  const SkinElement &prev = w->H_prev;
  const double cx = prev.x() + prev.w() / 2.0, cy = prev.y() + prev.h() / 2.0;
  const QPointF landscape(320 - cy, cx);
  forget(*w);
  mouse(*w, QEvent::MouseButtonPress, landscape * 2);
  EXPECT_EQ(w->pressedElement, 0);
  forget(*w);

  // Back to portrait: the mode the user had returns.
  sizeTo(*w, 480, 640);
  EXPECT_EQ(windowMode, VerticalMode);
  EXPECT_FALSE(w->showsUpright());
}

TEST(Scale, SizeChoiceIsKeptAndSizesEveryMode) {
  TempHome home;
  auto w = openShipped(home);
  if (!w)
    GTEST_SKIP() << "the default skin is not staged";
  EXPECT_EQ(w->size(), QSize(240, 320)); // a new home starts at one device pixel per skin pixel
  w->chooseSize(2);
  EXPECT_EQ(w->size(), QSize(480, 640));
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("scale=2"), std::string::npos);
  // The mini strip takes the same size; back in the full window too.
  w->resizeForMode(MiniMode);
  EXPECT_EQ(w->size(), QSize(480, 96));
  w->resizeForMode(VerticalMode);
  EXPECT_EQ(w->size(), QSize(480, 640));
  w.reset();

  // The next start opens at the kept size, its frame already dense.
  auto again = openShipped(home, "scale=3\n");
  EXPECT_EQ(again->size(), QSize(720, 960));
  EXPECT_NEAR(again->denseFrame().devicePixelRatio(), 3.0, 1e-6);
  again.reset();
  // Nonsense reads as 1x; "fit" asks the screen.
  EXPECT_EQ(MainFace::sizeChoiceFromText("7"), 1);
  EXPECT_EQ(MainFace::sizeChoiceFromText(" Fit "), 0);
  EXPECT_EQ(MainFace::sizeChoiceFromText("2"), 2);
}
