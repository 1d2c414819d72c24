// The skin's pictures as the window keeps them: an opaque picture is held at three bytes a pixel
// and gives exactly the pixels the file holds, copied at its own density and scaled to another;
// a picture with transparency keeps it.
#include "mainface/logical.h"
#include "sharedir.h"
#include "testenv.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <gtest/gtest.h>

#include "guiapp.h"

using namespace velora::test;

namespace {

// The rectangle (x, y, w, h) of `picture` drawn onto a black image at `ratio`.
QImage drawn(const QImage &picture, QRect r, qreal ratio) {
  QImage out = logicalImage(r.width(), r.height(), ratio);
  QPainter p(&out);
  sheetCopy(p, picture, r.x(), r.y(), r.width(), r.height(), 0, 0);
  p.end();
  return out;
}

} // namespace

TEST(DensePicture, OpaquePicturesArePackedAndDrawTheSamePixels) {
  guiApp();
  const QString dir = QString::fromStdString(stageDir()) + "/share/velora/skins/default";
  if (!QFileInfo::exists(dir + "/skins.png"))
    GTEST_SKIP() << "the default skin is not staged";
  for (int density : {1, 2, 3}) {
    SCOPED_TRACE(density);
    const QString file =
        density == 1 ? dir + "/skins.png" : dir + QStringLiteral("/skins@%1x.png").arg(density);
    const QImage asRead(file, "PNG");
    ASSERT_FALSE(asRead.isNull());
    ASSERT_FALSE(asRead.hasAlphaChannel()); // the shipped sheet is opaque

    const QImage kept = loadDensePicture(dir + "/skins.png", density);
    ASSERT_FALSE(kept.isNull());
    EXPECT_EQ(kept.devicePixelRatio(), density);
    EXPECT_EQ(kept.size(), asRead.size());
    EXPECT_LE(kept.sizeInBytes(), asRead.sizeInBytes() * 3 / 4 + 4 * kept.height());
    EXPECT_TRUE(kept.convertToFormat(asRead.format()) == asRead) << "pixels changed";

    // Copies from it give what copies from the picture as read give: at the picture's own
    // density, and scaled to a sparser and a denser one (a button and a panel strip).
    QImage reference = asRead;
    reference.setDevicePixelRatio(density);
    for (const QRect r : {QRect(8, 111, 36, 36), QRect(0, 487, 240, 168)}) {
      for (const qreal ratio : {qreal(density), 1.5, 3.0}) {
        const QImage a = drawn(kept, r, ratio), b = drawn(reference, r, ratio);
        ASSERT_FALSE(a.isNull());
        EXPECT_TRUE(a == b) << "rectangle " << r.x() << "," << r.y() << " at " << ratio;
      }
    }
  }

  // A picture with transparency keeps its alpha.
  TempHome home;
  QImage see(30, 20, QImage::Format_ARGB32);
  see.fill(Qt::transparent);
  for (int x = 0; x < 10; ++x)
    see.setPixel(x, 5, qRgba(200, 40, 10, 255));
  const QString path = QString::fromStdString(home.path("lights.png"));
  ASSERT_TRUE(see.save(path, "PNG"));
  const QImage kept = loadDensePicture(path, 1);
  ASSERT_FALSE(kept.isNull());
  EXPECT_TRUE(kept.hasAlphaChannel());
  EXPECT_EQ(qAlpha(kept.pixel(20, 10)), 0);
  EXPECT_EQ(kept.pixel(3, 5), qRgba(200, 40, 10, 255));
}
