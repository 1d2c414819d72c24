#include "uiscale.h"

#include "scalestyle.h"

#include <QApplication>
#include <QHash>

#include <cmath>

namespace {

qreal currentScale = 1;

// The toolkit's fonts for the classes that take the scale as they were before any scaling, so a
// scale set twice does not grow them twice.
const char *const kScaledClasses[] = {"QMenu", "QDialog", "QMessageBox", "QTipLabel"};

QHash<QByteArray, QFont> &baseFonts() {
  static QHash<QByteArray, QFont> fonts;
  return fonts;
}

} // namespace

QFont scaledFont(QFont f, qreal factor) {
  if (f.pixelSize() > 0)
    f.setPixelSize(std::max(1, qRound(f.pixelSize() * factor)));
  else if (f.pointSizeF() > 0)
    f.setPointSizeF(f.pointSizeF() * factor);
  return f;
}

qreal uiScale() { return currentScale; }

void setUiScale(qreal scale) {
  if (!(scale > 0) || !std::isfinite(scale))
    scale = 1;
  if (std::abs(scale - currentScale) < 1e-6 && !baseFonts().isEmpty())
    return;
  currentScale = scale;
  if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
    return;
  // The style's own lengths follow from the first scale other than 1 on; until then the
  // toolkit's style is left exactly as it is.
  if (std::abs(scale - 1) > 1e-6)
    installScaleStyle();
  for (const char *cls : kScaledClasses) {
    if (!baseFonts().contains(cls))
      baseFonts().insert(cls, QApplication::font(cls));
    QApplication::setFont(scaledFont(baseFonts().value(cls), scale), cls);
  }
}

int uiPx(int designPixels) {
  if (designPixels == 0)
    return 0;
  const int px = qRound(designPixels * currentScale);
  if (px == 0)
    return designPixels > 0 ? 1 : -1;
  return px;
}

QFont uiFont(const QFont &base, int designPixels) {
  QFont f = base;
  f.setPixelSize(std::max(1, uiPx(designPixels)));
  return f;
}
