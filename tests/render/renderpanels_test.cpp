// The main window's moving parts: panel slides, the decoration's frames, the equalizer's columns.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "renderwindow.h"
#include "testenv.h"
#include "testskin.h"

#include <QApplication>
#include <QPainter>
#include <gtest/gtest.h>

using namespace velora::test;

namespace {
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint)
      ++paints;
    return false;
  }
};
} // namespace

TEST(Render, PanelSlideShowsEveryStep) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kBase + "H_WIN_T=0,0,100,320,0,0\nH_WIN_B=140,0,100,320,100,0\n");
  auto w = openWindow();
  windowMode = HorizontalMode;
  w->show();
  spinFor(50);
  PaintCounter counter;
  w->installEventFilter(&counter);
  hPanelsHidden = true;
  w->moveskins();
  EXPECT_EQ(counter.paints, 22); // offsets 0, 3, ... 63, each painted before the next
  // The last step: the upper strip 63 pixels out to the left, the lower one 63 to the right.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 0, 63, 0, 37, 320));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 203, 0, 100, 0, 37, 320));
  counter.paints = 0;
  hPanelsHidden = false;
  w->moveskins();
  spinFor(50);
  EXPECT_GE(counter.paints, 22);
  // Back in place after the full repaint.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 0, 0, 0, 100, 320));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 140, 0, 100, 0, 100, 320));
  w->removeEventFilter(&counter);
  w->hide();
  windowMode = VerticalMode;
}

TEST(Render, DecorationFramesCycleOnTimeSamples) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase);
  // Frame n is a 4 x 2 picture of one colour; frame 2 on the right side is missing.
  for (int n = 1; n <= 3; ++n)
    for (const char *side : {"l", "r"}) {
      if (n == 2 && side[0] == 'r')
        continue;
      QImage pic(4, 2, QImage::Format_RGB32);
      pic.fill(qRgb(n * 40, side[0] == 'l' ? 1 : 2, 7));
      pic.save(q(home.path("skins/default/xmaslights_")) + side + QString::number(n) + ".png");
    }
  auto w = openWindow();
  xmasFrame = 1;
  w->composeFrame();
  const QRgb untouchedRight = w->frameImage().pixel(100, 10);
  const int expected[] = {1, 2, 3, 1, 2};
  for (int i = 0; i < 5; ++i) {
    w->drawTimer(10 + i, 0, 0, 0, 100);
    const int n = expected[i];
    EXPECT_EQ(w->frameImage().pixel(0, 10) & 0xffffff, qRgb(n * 40, 1, 7) & 0xffffff) << i;
    EXPECT_EQ(w->frameImage().pixel(3, 11) & 0xffffff, qRgb(n * 40, 1, 7) & 0xffffff) << i;
    if (n == 2) // missing picture: the previous frame stays
      EXPECT_EQ(w->frameImage().pixel(100, 10) & 0xffffff, qRgb(40, 2, 7) & 0xffffff) << i;
    else
      EXPECT_EQ(w->frameImage().pixel(100, 10) & 0xffffff, qRgb(n * 40, 2, 7) & 0xffffff) << i;
  }
  EXPECT_NE(untouchedRight & 0xffffff, qRgb(40, 2, 7) & 0xffffff);
  // The zero sample draws nothing at all in vertical mode.
  const QImage before = w->frameImage();
  w->drawTimer(0, 0, 0, 0, 100);
  EXPECT_EQ(w->frameImage(), before);
}

TEST(Render, EqualizerColumnsAndPreamp) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kBase + "EQ=20,200,12,81,0,400,300,400,10,6,16\n"
                        "EQ_Preamp=200,200,14,81,320,400\n");
  auto w = openWindow();
  eqValues[3] = -7; // level picture (-7 / 2 + 13) = 10 columns along, upper row
  eqValues[4] = 8;  // level picture 4 columns along, lower row
  eqValues[10] = 5;
  w->drawEqSlider(3);
  w->drawEqSlider(4);
  w->drawEqSlider(11);
  w->drawEqSlider(12); // nothing
  const QImage &f = w->frameImage();
  // Column 3 at x 20 + 3 * 16: level picture, with the knob (sheet 300, 406) over it.
  const int knobY3 = 81 / 2 - 6 / 2 + 7;
  EXPECT_TRUE(showsSheetRect(f, 68, 200, (-7 / 2 + 13) * 12, 400, 12, knobY3));
  EXPECT_TRUE(showsSheetRect(f, 69, 200 + knobY3, 300, 406, 10, 6));
  const int knobY4 = 81 / 2 - 6 / 2 - 8;
  EXPECT_TRUE(showsSheetRect(f, 84, 200, 4 * 12, 481, 12, knobY4));
  EXPECT_TRUE(showsSheetRect(f, 85, 200 + knobY4, 300, 406, 10, 6));
  // Preamp: its background, the knob two pixels in, raised by the preamp value.
  const int knobP = 81 / 2 - 6 / 2 - 5;
  EXPECT_TRUE(showsSheetRect(f, 200, 200, 320, 400, 14, knobP));
  EXPECT_TRUE(showsSheetRect(f, 202, 200 + knobP, 300, 406, 10, 6));
  for (int &v : eqValues)
    v = 0;
}
