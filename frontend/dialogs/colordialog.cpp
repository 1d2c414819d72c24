#include "colordialog.h"

#include "uiscale.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Hue 360 is hue 0; the toolkit's colour only takes 0..359.
QColor fromHsv(int h, int s, int v) { return QColor::fromHsv(((h % 360) + 360) % 360, s, v); }
} // namespace

// ---- ColorPicker
// ---------------------------------------------------------------------------------

ColorPicker::ColorPicker(QWidget *parent) : QWidget(parent), side(uiPx(fieldSize)) {
  setFixedSize(side, side);
  setAttribute(Qt::WA_OpaquePaintEvent);
  field = QImage(side, side, QImage::Format_RGB32);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      field.setPixel(x, y, fromHsv(huePt(QPoint(x, y)), satPt(QPoint(x, y)), 200).rgb());
}

int ColorPicker::huePt(const QPoint &pt) const {
  return std::clamp(360 - pt.x() * 360 / (side - 1), 0, 360);
}

int ColorPicker::satPt(const QPoint &pt) const {
  return std::clamp(255 - pt.y() * 255 / (side - 1), 0, 255);
}

QPoint ColorPicker::colPt() const {
  return QPoint((360 - hue_) * (side - 1) / 360, (255 - sat_) * (side - 1) / 255);
}

void ColorPicker::setCol(int h, int s) {
  h = std::clamp(h, 0, 360);
  s = std::clamp(s, 0, 255);
  if (h == hue_ && s == sat_)
    return;
  const int arm = uiPx(10);
  const QRect old(colPt() - QPoint(arm, arm), QSize(2 * arm + 1, 2 * arm + 1));
  hue_ = h;
  sat_ = s;
  update(old);
  update(QRect(colPt() - QPoint(arm, arm), QSize(2 * arm + 1, 2 * arm + 1)));
}

void ColorPicker::setCol(const QPoint &pt) { setCol(huePt(pt), satPt(pt)); }

void ColorPicker::mousePressEvent(QMouseEvent *e) {
  setCol(e->position().toPoint());
  emit newCol(hue_, sat_);
}

void ColorPicker::mouseMoveEvent(QMouseEvent *e) {
  setCol(e->position().toPoint());
  emit newCol(hue_, sat_);
}

void ColorPicker::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.drawImage(0, 0, field);
  // A 20 x 20 cross, dark with a light edge so it shows on every hue.
  const QPoint pt = colPt();
  const int arm = uiPx(9);
  p.setPen(QPen(Qt::white, uiPx(3)));
  p.drawLine(pt.x() - arm, pt.y(), pt.x() + arm, pt.y());
  p.drawLine(pt.x(), pt.y() - arm, pt.x(), pt.y() + arm);
  p.setPen(QPen(Qt::black, uiPx(1)));
  p.drawLine(pt.x() - arm, pt.y(), pt.x() + arm, pt.y());
  p.drawLine(pt.x(), pt.y() - arm, pt.x(), pt.y() + arm);
}

// ---- ColorLuminancePicker
// ------------------------------------------------------------------------

ColorLuminancePicker::ColorLuminancePicker(QWidget *parent) : QWidget(parent) {
  setFixedSize(sizeHint());
}

QSize ColorLuminancePicker::sizeHint() const { return {uiPx(22), uiPx(ColorPicker::fieldSize)}; }

int ColorLuminancePicker::y2val(int y) const {
  const int d = height() - 2 * margin - 1;
  return std::clamp(255 - (y - margin) * 255 / d, 0, 255);
}

int ColorLuminancePicker::val2y(int v) const {
  const int d = height() - 2 * margin - 1;
  return margin + (255 - v) * d / 255;
}

void ColorLuminancePicker::setCol(int h, int s) {
  setCol(h, s, val);
  emit newHsv(hue, sat, val);
}

void ColorLuminancePicker::setCol(int h, int s, int v) {
  h = std::clamp(h, 0, 360);
  s = std::clamp(s, 0, 255);
  v = std::clamp(v, 0, 255);
  if (h == hue && s == sat && v == val)
    return;
  if (h != hue || s != sat)
    strip = QImage();
  hue = h;
  sat = s;
  val = v;
  update();
}

void ColorLuminancePicker::setVal(int v) {
  if (v == val)
    return;
  val = v;
  update();
}

void ColorLuminancePicker::mousePressEvent(QMouseEvent *e) {
  setVal(y2val(int(e->position().y())));
  emit newHsv(hue, sat, val);
}

void ColorLuminancePicker::mouseMoveEvent(QMouseEvent *e) {
  setVal(y2val(int(e->position().y())));
  emit newHsv(hue, sat, val);
}

void ColorLuminancePicker::paintEvent(QPaintEvent *) {
  const int stripWidth = width() - uiPx(8);
  if (strip.isNull() || strip.height() != height()) {
    strip = QImage(stripWidth, height(), QImage::Format_RGB32);
    for (int y = 0; y < height(); ++y) {
      const QRgb c = fromHsv(hue, sat, y2val(y)).rgb();
      for (int x = 0; x < stripWidth; ++x)
        strip.setPixel(x, y, c);
    }
  }
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  p.drawImage(0, 0, strip);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(0, 0, stripWidth - 1, height() - 1);
  // Marker: a small triangle pointing at the current value.
  const int y = val2y(val);
  const int half = uiPx(4);
  const QPoint tri[] = {{stripWidth + 1, y}, {width() - 1, y - half}, {width() - 1, y + half}};
  p.setPen(Qt::NoPen);
  p.setBrush(palette().color(QPalette::WindowText));
  p.drawPolygon(tri, 3);
}

// ---- ColorShowLabel
// ------------------------------------------------------------------------------

ColorShowLabel::ColorShowLabel(QWidget *parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setMinimumSize(uiPx(16), uiPx(12));
}

void ColorShowLabel::setColor(const QColor &c) {
  if (c == col)
    return;
  col = c;
  update();
}

void ColorShowLabel::paintEvent(QPaintEvent *e) {
  QPainter p(this);
  p.fillRect(contentsRect(), col);
  p.end();
  QFrame::paintEvent(e);
}

// ---- QColNumLineEdit
// -----------------------------------------------------------------------------

QColNumLineEdit::QColNumLineEdit(int maximum, QWidget *parent) : QLineEdit(parent), max(maximum) {
  setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]{0,4}")), this));
  setMaxLength(5);
  setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + uiPx(10));
  connect(this, &QLineEdit::textEdited, this, &QColNumLineEdit::clampTyped);
}

void QColNumLineEdit::setNum(int i) {
  const QString s = QString::number(i);
  if (s != text())
    setText(s);
}

int QColNumLineEdit::val() const {
  bool ok = false;
  const int v = text().toInt(&ok);
  return ok ? std::clamp(v, 0, max) : 0;
}

void QColNumLineEdit::clampTyped(const QString &typed) {
  bool ok = false;
  const int v = typed.toInt(&ok);
  if (ok && (v < 0 || v > max))
    setText(QString::number(std::clamp(v, 0, max)));
}

// ---- ColorShower
// ---------------------------------------------------------------------------------

ColorShower::ColorShower(QWidget *parent) : QWidget(parent) {
  auto *grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(uiPx(2));
  grid->setVerticalSpacing(uiPx(3));

  auto field = [&](int maximum, const QString &text, int row, int column) {
    auto *edit = new QColNumLineEdit(maximum, this);
    auto *label = new QLabel(text, this);
    label->setBuddy(edit);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, column);
    grid->addWidget(edit, row, column + 1);
    return edit;
  };
  // Three columns of label and number: the screen is too narrow for a swatch beside them, so the
  // swatch runs under them.
  hEd = field(359, QCoreApplication::translate("velora", "Hu&e:"), 0, 0);
  sEd = field(255, QCoreApplication::translate("velora", "&Sat:"), 0, 2);
  vEd = field(255, QCoreApplication::translate("velora", "&Val:"), 0, 4);
  rEd = field(255, QCoreApplication::translate("velora", "&Red:"), 1, 0);
  gEd = field(255, QCoreApplication::translate("velora", "&Green:"), 1, 2);
  bEd = field(255, QCoreApplication::translate("velora", "Bl&ue:"), 1, 4);
  lab = new ColorShowLabel(this);
  lab->setFixedHeight(uiPx(16));
  grid->addWidget(lab, 3, 0, 1, 6);
  // The lyrics colours are opaque: the alpha field exists but is not offered.
  alphaEd = new QColNumLineEdit(255, this);
  alphaLab = new QLabel(QCoreApplication::translate("velora", "A&lpha channel:"), this);
  alphaLab->setBuddy(alphaEd);
  grid->addWidget(alphaLab, 2, 0, 1, 3);
  grid->addWidget(alphaEd, 2, 3);
  alphaEd->hide();
  alphaLab->hide();

  for (QColNumLineEdit *e : {hEd, sEd, vEd})
    connect(e, &QLineEdit::textChanged, this, &ColorShower::hsvEd);
  for (QColNumLineEdit *e : {rEd, gEd, bEd})
    connect(e, &QLineEdit::textChanged, this, &ColorShower::rgbEd);
  setRgb(curCol);
}

void ColorShower::showCurrentColor() { lab->setColor(QColor(curCol)); }

void ColorShower::showHsv() {
  updating = true;
  hEd->setNum(hue_ % 360);
  sEd->setNum(sat_);
  vEd->setNum(val_);
  updating = false;
}

void ColorShower::showRgb() {
  updating = true;
  rEd->setNum(qRed(curCol));
  gEd->setNum(qGreen(curCol));
  bEd->setNum(qBlue(curCol));
  alphaEd->setNum(255);
  updating = false;
}

void ColorShower::hsvEd() {
  if (updating)
    return;
  hue_ = hEd->val();
  sat_ = sEd->val();
  val_ = vEd->val();
  curCol = fromHsv(hue_, sat_, val_).rgb();
  showRgb();
  showCurrentColor();
  emit newCol(curCol);
}

void ColorShower::rgbEd() {
  if (updating)
    return;
  curCol = qRgb(rEd->val(), gEd->val(), bEd->val());
  int h = 0, s = 0, v = 0;
  QColor(curCol).getHsv(&h, &s, &v);
  if (h >= 0) // greys have no hue: keep the one there was
    hue_ = h;
  sat_ = s;
  val_ = v;
  showHsv();
  showCurrentColor();
  emit newCol(curCol);
}

void ColorShower::setRgb(QRgb rgb) {
  curCol = qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
  int h = 0, s = 0, v = 0;
  QColor(curCol).getHsv(&h, &s, &v);
  if (h >= 0)
    hue_ = h;
  sat_ = s;
  val_ = v;
  showHsv();
  showRgb();
  showCurrentColor();
}

void ColorShower::setHsv(int h, int s, int v) {
  hue_ = std::clamp(h, 0, 360);
  sat_ = std::clamp(s, 0, 255);
  val_ = std::clamp(v, 0, 255);
  curCol = fromHsv(hue_, sat_, val_).rgb();
  showHsv();
  showRgb();
  showCurrentColor();
}

// ---- ColorDialogPrivate
// --------------------------------------------------------------------------

void ColorDialogPrivate::newHsv(int h, int s, int v) {
  cs->setHsv(h, s, v);
  cp->setCol(h, s);
  lp->setCol(h, s, v);
}

void ColorDialogPrivate::newColorTypedIn(QRgb rgb) {
  int h = 0, s = 0, v = 0;
  if (rgb == cs->currentColor()) {
    // The shower knows the exact numbers typed; converting back from RGB would round them.
    h = cs->hue();
    s = cs->sat();
    v = cs->value();
  } else {
    QColor(rgb).getHsv(&h, &s, &v);
    if (h < 0)
      h = cp->hue();
  }
  cp->setCol(h, s);
  lp->setCol(h, s, v);
}

void ColorDialogPrivate::setCurrentColor(QRgb rgb) {
  cs->setRgb(rgb);
  newColorTypedIn(cs->currentColor());
}

// ---- ColorDialog
// ---------------------------------------------------------------------------------

ColorDialog::ColorDialog(QWidget *parent, const char *name, bool modal)
    : QDialog(parent), d(new ColorDialogPrivate(this)) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  setModal(modal);
  setWindowTitle(QCoreApplication::translate("velora", "Choose color"));
  setFont(uiFont(font(), 11));

  auto *top = new QVBoxLayout(this);
  top->setContentsMargins(uiPx(4), uiPx(4), uiPx(4), uiPx(4));
  top->setSpacing(uiPx(4));
  auto *pickers = new QHBoxLayout;
  pickers->setSpacing(uiPx(4));
  d->cp = new ColorPicker(this);
  d->lp = new ColorLuminancePicker(this);
  pickers->addWidget(d->cp);
  pickers->addWidget(d->lp);
  top->addLayout(pickers);
  d->cs = new ColorShower(this);
  top->addWidget(d->cs);
  auto *buttons = new QHBoxLayout;
  d->ok = new QPushButton(QCoreApplication::translate("velora", "OK"), this);
  d->cancel = new QPushButton(QCoreApplication::translate("velora", "Cancel"), this);
  d->ok->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(d->ok);
  buttons->addWidget(d->cancel);
  top->addLayout(buttons);
  top->setSizeConstraint(QLayout::SetFixedSize);

  connect(d->cp, &ColorPicker::newCol, d->lp, qOverload<int, int>(&ColorLuminancePicker::setCol));
  connect(d->lp, &ColorLuminancePicker::newHsv, d, &ColorDialogPrivate::newHsv);
  connect(d->cs, &ColorShower::newCol, d, &ColorDialogPrivate::newColorTypedIn);
  connect(d->ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(d->cancel, &QPushButton::clicked, this, &QDialog::reject);

  // Start where the field starts: hue 150, full saturation.
  d->newHsv(d->cp->hue(), d->cp->sat(), d->lp->value());
}

void ColorDialog::setColor(const QColor &c) { d->setCurrentColor(c.rgb()); }

QColor ColorDialog::color() const { return QColor(d->currentColor()); }

QColor ColorDialog::getColor(const QColor &initial, QWidget *parent, const char *name) {
  ColorDialog dialog(parent, name ? name : "qt_color_dialog", true);
  dialog.setWindowTitle(QCoreApplication::translate("velora", "Choose color"));
  if (initial.isValid()) {
    QColor opaque = initial;
    opaque.setAlpha(255);
    dialog.setColor(opaque);
  }
  if (dialog.exec() == QDialog::Accepted)
    return dialog.color();
  return QColor();
}
