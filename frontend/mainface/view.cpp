// The view: how the logical frame is laid onto the window. The window may be larger than the
// skin (a phone shell or kiosk that makes it fill the screen, a "Size" choice, a maximised
// desktop window) and its screen may have any pixel ratio; the frame is kept at as many device
// pixels per logical pixel as the window shows it with, so text is drawn at the device's
// resolution, and it is laid on the window scaled uniformly and centred, the margins in the
// skin's background colour. A landscape window shows the horizontal mode upright.
#include "mainface.h"

#include "kconfig.h"
#include "logical.h"
#include "uiscale.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace {
// The landscape picture is stored turned by 270 degrees; shown upright, logical frame point
// (x, y) lands at (320 - y, x) of the 320 x 240 landscape.
const QTransform kUpright(0, 1, -1, 0, kLogicalHeight, 0);
} // namespace

bool MainFace::showsUpright() const { return windowMode == HorizontalMode && width() > height(); }

QSize MainFace::logicalViewSize() const {
  if (windowMode == MiniMode)
    return QSize(kLogicalWidth, kMiniLyricsHeight);
  if (showsUpright())
    return QSize(kLogicalHeight, kLogicalWidth);
  return QSize(kLogicalWidth, kLogicalHeight);
}

void MainFace::updateView() {
  const QSize logical = logicalViewSize();
  const qreal dpr = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1;
  qreal fit = std::min(width() / qreal(logical.width()), height() / qreal(logical.height()));
  if (!(fit > 0))
    fit = 1;
  // Whole device pixels for the origin, so a frame of the window's density lands on the
  // screen's pixel grid and is copied, not resampled.
  const qreal ox = std::round((width() - logical.width() * fit) / 2 * dpr) / dpr;
  const qreal oy = std::round((height() - logical.height() * fit) / 2 * dpr) / dpr;
  QTransform t = QTransform::fromScale(fit, fit) * QTransform::fromTranslate(ox, oy);
  if (showsUpright())
    t = kUpright * t;
  view = t;
  viewInverse = t.inverted();
  viewScale = fit;
  setUiScale(fit); // dialogs and menus open at the picture's scale

  const qreal ratio = dpr * fit;
  if (std::abs(ratio - frame.devicePixelRatio()) > 1e-6) {
    // A new density: every off-screen image and picture is made again at it.
    makeImages(ratio);
    frameStale = true;
  }
  placeColourButtons();
  if (windowMode == MiniMode)
    applyMiniMask();
}

QPoint MainFace::toLogical(const QPointF &windowPos) const {
  const QPointF p = viewInverse.map(windowPos);
  return QPoint(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
}

QPoint MainFace::toWindow(const QPoint &logical) const {
  return view.map(QPointF(logical)).toPoint();
}

QRect MainFace::toWindow(const QRect &logical) const {
  return view.mapRect(QRectF(logical)).toAlignedRect();
}

const QImage &MainFace::frameImage() const {
  if (frame.devicePixelRatio() == 1)
    return frame;
  frame1x =
      frame.scaled(kLogicalWidth, kLogicalHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  frame1x.setDevicePixelRatio(1);
  return frame1x;
}

void MainFace::showArea(const QRect &area) {
  if (view.isIdentity())
    update(area);
  else
    update(toWindow(area).adjusted(-1, -1, 1, 1));
}

void MainFace::paintEvent(QPaintEvent *e) {
  // The window is opaque (the system never erases it), so even without a sheet the black frame
  // goes to the screen; otherwise old pixels and menu trails would stay.
  if (frameStale && !skinPixmap.isNull())
    composeFrame();
  QPainter p(this);
  if (view.isIdentity() && frame.devicePixelRatio() == 1) {
    p.drawImage(e->rect(), frame, e->rect());
    return;
  }
  const QRect shown = toWindow(QRect(QPoint(0, 0), frameLogicalSize()));
  if (!shown.contains(e->rect()))
    p.fillRect(e->rect(), marginColour);
  // Only the part of the frame behind the area to paint is drawn.
  const QRectF wanted =
      viewInverse.mapRect(QRectF(e->rect())).intersected(QRectF(QPointF(0, 0), frameLogicalSize()));
  if (wanted.isEmpty())
    return;
  const QRect part = wanted.toAlignedRect();
  const qreal r = frame.devicePixelRatio();
  p.setTransform(view);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QRectF(part), frame,
              QRectF(part.x() * r, part.y() * r, part.width() * r, part.height() * r));
}

QSize MainFace::frameLogicalSize() const {
  return windowMode == MiniMode ? QSize(kLogicalWidth, kMiniLyricsHeight)
                                : QSize(kLogicalWidth, kLogicalHeight);
}

void MainFace::resizeEvent(QResizeEvent *) {
  followOrientation();
  updateView();
  frameStale = true;
}

void MainFace::followOrientation() {
  // The shell turned the screen (or the user made the desktop window wide): the horizontal mode
  // is shown upright; turned back, the mode the user had returns.
  const bool landscape = width() > height();
  if (landscape && windowMode == VerticalMode && !sizingWindow) {
    modeBeforeLandscape = VerticalMode;
    windowMode = HorizontalMode;
    hideColourButtons();
  } else if (!landscape && modeBeforeLandscape != 0 && windowMode == HorizontalMode) {
    windowMode = modeBeforeLandscape;
    modeBeforeLandscape = 0;
  } else if (!landscape) {
    modeBeforeLandscape = 0;
  }
}

void MainFace::hideColourButtons() {
  if (lyricColourButton)
    lyricColourButton->hide();
  if (lyricBackColourButton)
    lyricBackColourButton->hide();
}

void MainFace::placeColourButtons() {
  if (!lyricColourButton || !lyricBackColourButton)
    return;
  const int bx = color_BTN.x() + color_BTN.w(), by = color_BTN.y() + 1;
  lyricColourButton->setGeometry(toWindow(QRect(bx + 10, by, 12, 12)));
  lyricBackColourButton->setGeometry(toWindow(QRect(bx + 27, by, 12, 12)));
}

int MainFace::sizeFactor() const {
  if (sizeChoice >= 1 && sizeChoice <= 3)
    return sizeChoice;
  return 1;
}

QSize MainFace::windowSizeFor(int mode) const {
  const QSize logical = mode == MiniMode ? QSize(kLogicalWidth, kMiniLyricsHeight)
                                         : QSize(kLogicalWidth, kLogicalHeight);
  if (sizeChoice != 0)
    return logical * sizeFactor();
  // Fit screen: the largest picture the screen's free area holds, the skin's shape kept.
  const QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
  if (!s)
    return logical;
  const QRect free = s->availableGeometry();
  const qreal fit =
      std::min(free.width() / qreal(kLogicalWidth), free.height() / qreal(kLogicalHeight));
  if (!(fit > 0))
    return logical;
  return QSize(qRound(logical.width() * fit), qRound(logical.height() * fit));
}

bool MainFace::shellSizesWindow() const {
  return windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized);
}

void MainFace::resizeForMode(int mode) {
  if (shellSizesWindow()) {
    // Asking for the mode's own size there would leave a small picture on the shell's black
    // (Wayland lets a full-screen window commit a smaller picture, and the shell centres it).
    updateView();
    repaintAll();
    return;
  }
  sizingWindow = true;
  setGeometry(QRect(QPoint(0, 0), windowSizeFor(mode)));
  sizingWindow = false;
  updateView();
}

void MainFace::chooseSize(int choice) {
  if (choice < 0 || choice > 3)
    return;
  sizeChoice = choice;
  for (int c = 0; c <= 3; ++c)
    if (sizeMenu)
      sizeMenu->setItemChecked(kSizeMenuBase + c, c == choice);
  {
    KConfig settings(baseDir + "/.xmms/pelmar_cfg");
    settings.setGroup("pelskin");
    settings.writeEntry("scale", choice == 0 ? QStringLiteral("fit") : QString::number(choice));
    if (!settings.isReadOnly())
      settings.sync();
  }
  resizeForMode(windowMode);
  repaintAll();
}

int MainFace::sizeChoiceFromText(const QString &text) {
  const QString t = text.trimmed().toLower();
  if (t == QLatin1String("fit"))
    return 0;
  bool ok = false;
  const int n = t.toInt(&ok);
  return ok && n >= 1 && n <= 3 ? n : 1;
}
