#include "colordialog.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

QApplication *app() {
  static int argc = 1;
  static char name[] = "colordialog_test";
  static char *argv[] = {name, nullptr};
  static QApplication *a = new QApplication(argc, argv);
  return a;
}

// Runs `act` on the modal dialog as soon as it is up.
void whenModal(std::function<void(ColorDialog *)> act) {
  auto *timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (auto *dialog = qobject_cast<ColorDialog *>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
    }
  });
  timer->start(10);
}

// QTest takes the point (0, 0) for "the middle of the widget", so clicks are sent by hand.
void click(QWidget *w, QPoint at) {
  const QPointF local(at), global(w->mapToGlobal(local));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, {});
  QApplication::sendEvent(w, &release);
}

void typeInto(QLineEdit *edit, const QString &text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, text);
}

} // namespace

TEST(ColorDialog, FieldCornersAndValueStrip) {
  app();
  ColorDialog dialog;
  dialog.show();
  ColorDialogPrivate *d = dialog.parts();
  QSignalSpy picked(d->cp, &ColorPicker::newCol);
  QSignalSpy hsv(d->lp, &ColorLuminancePicker::newHsv);

  // Start point: hue 150, full saturation.
  EXPECT_EQ(d->cp->hue(), 150);
  EXPECT_EQ(d->cp->sat(), 255);

  // Value to the top of the strip first, so colours are easy to name.
  click(d->lp, QPoint(5, 0));
  EXPECT_EQ(d->lp->value(), 255);

  click(d->cp, QPoint(0, 0));
  ASSERT_EQ(picked.count(), 1);
  EXPECT_EQ(picked.last().at(0).toInt(), 360);
  EXPECT_EQ(picked.last().at(1).toInt(), 255);
  EXPECT_EQ(hsv.last().at(0).toInt(), 360);
  EXPECT_EQ(hsv.last().at(2).toInt(), 255);
  EXPECT_EQ(dialog.color(), QColor(255, 0, 0)) << "hue 360 is hue 0";
  EXPECT_EQ(d->cs->hueEdit()->text(), "0");
  EXPECT_EQ(d->cs->satEdit()->text(), "255");
  EXPECT_EQ(d->cs->redEdit()->text(), "255");
  EXPECT_EQ(d->cs->label()->color(), QColor(255, 0, 0));

  click(d->cp, QPoint(199, 199));
  EXPECT_EQ(d->cp->hue(), 0);
  EXPECT_EQ(d->cp->sat(), 0);
  EXPECT_EQ(dialog.color(), QColor(255, 255, 255));

  // Middle of the field: hue 360 - 100 * 360 / 199 = 180, saturation 255 - 100 * 255 / 199 = 127.
  click(d->cp, QPoint(100, 100));
  EXPECT_EQ(d->cp->hue(), 180);
  EXPECT_EQ(d->cp->sat(), 127);
  EXPECT_EQ(dialog.color().rgb(), QColor::fromHsv(180, 127, 255).rgb());

  // A drag past the edges stays clamped to the field's range.
  QTest::mousePress(d->cp, Qt::LeftButton, {}, QPoint(50, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(-40, 260), d->cp->mapToGlobal(QPointF(-40, 260)),
                   Qt::LeftButton, Qt::LeftButton, {});
  QApplication::sendEvent(d->cp, &move);
  EXPECT_EQ(d->cp->hue(), 360);
  EXPECT_EQ(d->cp->sat(), 0);
  QTest::mouseRelease(d->cp, Qt::LeftButton, {}, QPoint(0, 199));

  // Value strip bottom: black, whatever hue and saturation.
  click(d->lp, QPoint(5, d->lp->height() - 1));
  EXPECT_EQ(d->lp->value(), 0);
  EXPECT_EQ(dialog.color(), QColor(0, 0, 0));
  EXPECT_EQ(d->cs->valEdit()->text(), "0");
}

TEST(ColorDialog, TypedValuesAreClampedAndFollowed) {
  app();
  ColorDialog dialog;
  dialog.show();
  ColorDialogPrivate *d = dialog.parts();
  dialog.setColor(QColor(10, 20, 30));
  EXPECT_EQ(d->cs->redEdit()->text(), "10");

  typeInto(d->cs->redEdit(), "300");
  EXPECT_EQ(d->cs->redEdit()->text(), "255");
  EXPECT_EQ(dialog.color(), QColor(255, 20, 30));

  typeInto(d->cs->greenEdit(), "-5");
  EXPECT_EQ(d->cs->greenEdit()->text(), "0");
  EXPECT_EQ(dialog.color(), QColor(255, 0, 30));

  // Letters are not taken.
  QTest::keyClicks(d->cs->blueEdit(), "ab");
  EXPECT_EQ(d->cs->blueEdit()->text(), "30");

  // The HSV fields followed, and so did the field and the strip.
  int h, s, v;
  QColor(255, 0, 30).getHsv(&h, &s, &v);
  EXPECT_EQ(d->cs->hueEdit()->text().toInt(), h);
  EXPECT_EQ(d->cp->hue(), h);
  EXPECT_EQ(d->cp->sat(), s);
  EXPECT_EQ(d->lp->value(), v);

  // Hue above its maximum becomes 359; typed HSV recomputes RGB.
  typeInto(d->cs->valEdit(), "255");
  typeInto(d->cs->satEdit(), "255");
  typeInto(d->cs->hueEdit(), "400");
  EXPECT_EQ(d->cs->hueEdit()->text(), "359");
  EXPECT_EQ(dialog.color().rgb(), QColor::fromHsv(359, 255, 255).rgb());
  EXPECT_EQ(d->cs->redEdit()->text().toInt(), QColor::fromHsv(359, 255, 255).red());
  EXPECT_EQ(d->cp->hue(), 359);
  typeInto(d->cs->satEdit(), "999");
  EXPECT_EQ(d->cs->satEdit()->text(), "255");
}

TEST(ColorDialog, CancelReturnsInvalidAndOkTheChoice) {
  app();
  whenModal([](ColorDialog *dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Choose color");
    EXPECT_EQ(dialog->color(), QColor(10, 20, 30));
    QTest::mouseClick(dialog->parts()->cancel, Qt::LeftButton);
  });
  EXPECT_FALSE(ColorDialog::getColor(QColor(10, 20, 30)).isValid());

  // Closing the window is a cancel too.
  whenModal([](ColorDialog *dialog) { dialog->close(); });
  EXPECT_FALSE(ColorDialog::getColor(QColor(10, 20, 30)).isValid());

  // OK returns the colour on screen, opaque even when the initial one was not.
  whenModal([](ColorDialog *dialog) { QTest::mouseClick(dialog->parts()->ok, Qt::LeftButton); });
  const QColor same = ColorDialog::getColor(QColor(10, 20, 30, 100));
  EXPECT_EQ(same, QColor(10, 20, 30));
  EXPECT_EQ(same.alpha(), 255);

  whenModal([](ColorDialog *dialog) {
    typeInto(dialog->parts()->cs->blueEdit(), "200");
    QTest::mouseClick(dialog->parts()->ok, Qt::LeftButton);
  });
  EXPECT_EQ(ColorDialog::getColor(QColor(10, 20, 30)), QColor(10, 20, 200));
}

TEST(ColorDialog, FitsTheScreen) {
  app();
  ColorDialog dialog;
  dialog.show();
  QApplication::processEvents();
  EXPECT_LE(dialog.width(), 240);
  EXPECT_LE(dialog.height(), 320);
  ColorDialogPrivate *d = dialog.parts();
  EXPECT_EQ(d->cp->size(), QSize(200, 200));
  for (QWidget *w : std::initializer_list<QWidget *>{d->cp, d->lp, d->cs, d->ok, d->cancel}) {
    const QRect r(w->mapTo(&dialog, QPoint(0, 0)), w->size());
    EXPECT_TRUE(dialog.rect().contains(r)) << w->metaObject()->className();
  }
  // Every number field shows three digits whole.
  for (QLineEdit *e :
       {static_cast<QLineEdit *>(d->cs->hueEdit()), static_cast<QLineEdit *>(d->cs->blueEdit())})
    EXPECT_GE(e->width(), e->fontMetrics().horizontalAdvance("255"));
  // The picture shows the colour field and the current colour's swatch.
  const QImage shot = dialog.grab().toImage();
  const QPoint inField = d->cp->mapTo(&dialog, QPoint(190, 5));
  EXPECT_NEAR(QColor(shot.pixel(inField)).hue(), 360 - 190 * 360 / 199, 1);
  const QPoint inSwatch = d->cs->label()->mapTo(&dialog, d->cs->label()->rect().center());
  EXPECT_EQ(QColor(shot.pixel(inSwatch)), dialog.color());
  if (const char *dir = getenv("VELORA_SKIN_PREVIEW"))
    shot.save(QString("%1/colordialog.png").arg(dir));
}
