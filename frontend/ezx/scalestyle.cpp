#include "scalestyle.h"

#include "uiscale.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPolygonF>
#include <QStyleOption>

#include <cmath>

namespace {

// Above 0 while the base style lays out or draws a menu at the design's 1x size under a painter
// that enlarges it: every length it asks for meanwhile is the 1x one.
int designDepth = 0;
// Above 0 while the base style draws for a screen of the scale's dots per inch, where it scales
// its lengths itself.
int dpiDepth = 0;

class Depth {
public:
  explicit Depth(int &counter) : counter(counter) { ++counter; }
  ~Depth() { --counter; }
  Depth(const Depth &) = delete;
  Depth &operator=(const Depth &) = delete;

private:
  int &counter;
};

qreal activeScale() { return designDepth > 0 || dpiDepth > 0 ? 1 : uiScale(); }

bool isScaled(qreal s) { return std::abs(s - 1) > 1e-6; }

bool isMenu(const QWidget *w) { return qobject_cast<const QMenu *>(w) != nullptr; }

// The style's metrics that are lengths on the screen (not counts, delays or flags).
bool isLength(QStyle::PixelMetric m) {
  switch (m) {
  case QStyle::PM_ButtonMargin:
  case QStyle::PM_ButtonDefaultIndicator:
  case QStyle::PM_MenuButtonIndicator:
  case QStyle::PM_ButtonShiftHorizontal:
  case QStyle::PM_ButtonShiftVertical:
  case QStyle::PM_DefaultFrameWidth:
  case QStyle::PM_SpinBoxFrameWidth:
  case QStyle::PM_ComboBoxFrameWidth:
  case QStyle::PM_ScrollBarExtent:
  case QStyle::PM_ScrollBarSliderMin:
  case QStyle::PM_SliderThickness:
  case QStyle::PM_SliderControlThickness:
  case QStyle::PM_SliderLength:
  case QStyle::PM_SliderTickmarkOffset:
  case QStyle::PM_ProgressBarChunkWidth:
  case QStyle::PM_SplitterWidth:
  case QStyle::PM_MenuPanelWidth:
  case QStyle::PM_MenuHMargin:
  case QStyle::PM_MenuVMargin:
  case QStyle::PM_MenuScrollerHeight:
  case QStyle::PM_MenuTearoffHeight:
  case QStyle::PM_SubMenuOverlap:
  case QStyle::PM_IndicatorWidth:
  case QStyle::PM_IndicatorHeight:
  case QStyle::PM_ExclusiveIndicatorWidth:
  case QStyle::PM_ExclusiveIndicatorHeight:
  case QStyle::PM_HeaderMargin:
  case QStyle::PM_HeaderMarkSize:
  case QStyle::PM_FocusFrameVMargin:
  case QStyle::PM_FocusFrameHMargin:
  case QStyle::PM_CheckBoxLabelSpacing:
  case QStyle::PM_RadioButtonLabelSpacing:
  case QStyle::PM_LayoutLeftMargin:
  case QStyle::PM_LayoutTopMargin:
  case QStyle::PM_LayoutRightMargin:
  case QStyle::PM_LayoutBottomMargin:
  case QStyle::PM_LayoutHorizontalSpacing:
  case QStyle::PM_LayoutVerticalSpacing:
  case QStyle::PM_SmallIconSize:
  case QStyle::PM_ButtonIconSize:
  case QStyle::PM_ListViewIconSize:
  case QStyle::PM_IconViewIconSize:
  case QStyle::PM_MessageBoxIconSize:
  case QStyle::PM_ToolTipLabelFrameWidth:
  case QStyle::PM_TreeViewIndentation:
  case QStyle::PM_ScrollView_ScrollBarSpacing:
  case QStyle::PM_LineEditIconSize:
  case QStyle::PM_LineEditIconMargin:
  case QStyle::PM_DialogButtonsSeparator:
  case QStyle::PM_DialogButtonsButtonWidth:
  case QStyle::PM_DialogButtonsButtonHeight:
  case QStyle::PM_TextCursorWidth:
    return true;
  default:
    return false;
  }
}

// A length at the scale; 0 and the negative "no preference" answers stay as they are.
int scaledLength(int v, qreal s) { return v > 0 ? std::max(1, qRound(v * s)) : v; }

QSize atDesign(const QSize &size, qreal s) {
  return {static_cast<int>(std::ceil(size.width() / s - 1e-6)),
          static_cast<int>(std::ceil(size.height() / s - 1e-6))};
}

QSize atWindow(const QSize &size, qreal s) {
  return {static_cast<int>(std::ceil(size.width() * s - 1e-6)),
          static_cast<int>(std::ceil(size.height() * s - 1e-6))};
}

// A menu entry as the base style sees it at 1x: the design's font and lengths.
QStyleOptionMenuItem designItem(const QStyleOptionMenuItem &item, qreal s) {
  QStyleOptionMenuItem o(item);
  o.font = scaledFont(item.font, 1 / s);
  o.fontMetrics = QFontMetrics(o.font);
  o.maxIconWidth = qRound(item.maxIconWidth / s);
  o.reservedShortcutWidth = qRound(item.reservedShortcutWidth / s);
  return o;
}

// Runs `draw` with `o.rect` at the design's size and the painter enlarging it onto the rectangle
// the option had, so text and lines are drawn at the window's resolution in the 1x layout.
template <class Draw>
void drawAtDesignSize(QPainter *painter, QStyleOption &o, qreal s, Draw draw) {
  const QRect r = o.rect;
  const QSize small(std::max(1, qRound(r.width() / s)), std::max(1, qRound(r.height() / s)));
  o.rect = QRect(QPoint(0, 0), small);
  painter->save();
  painter->translate(r.topLeft());
  painter->scale(r.width() / qreal(small.width()), r.height() / qreal(small.height()));
  {
    Depth design(designDepth);
    draw();
  }
  painter->restore();
}

// The base style's arrows are pictures cached at the size they are asked for, so under the
// enlarging painter they would come out blocky; this one is drawn as a shape of the same size.
void drawArrow(QStyle::PrimitiveElement element, const QStyleOption *option, QPainter *painter) {
  const QRectF r = option->rect;
  const qreal size = std::min<qreal>(8, std::min(r.width(), r.height()));
  const qreal across = size * 8 / 14; // the point's depth
  const QPointF c = r.center();
  QPolygonF shape;
  switch (element) {
  case QStyle::PE_IndicatorArrowRight:
    shape << QPointF(c.x() - across / 2, c.y() - size / 2) << QPointF(c.x() + across / 2, c.y())
          << QPointF(c.x() - across / 2, c.y() + size / 2);
    break;
  case QStyle::PE_IndicatorArrowLeft:
    shape << QPointF(c.x() + across / 2, c.y() - size / 2) << QPointF(c.x() - across / 2, c.y())
          << QPointF(c.x() + across / 2, c.y() + size / 2);
    break;
  case QStyle::PE_IndicatorArrowUp:
    shape << QPointF(c.x() - size / 2, c.y() + across / 2) << QPointF(c.x(), c.y() - across / 2)
          << QPointF(c.x() + size / 2, c.y() + across / 2);
    break;
  default:
    shape << QPointF(c.x() - size / 2, c.y() - across / 2) << QPointF(c.x(), c.y() + across / 2)
          << QPointF(c.x() + size / 2, c.y() - across / 2);
    break;
  }
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(option->palette.windowText());
  painter->drawPolygon(shape);
  painter->restore();
}

// Font metrics for a screen of `dpi` dots per inch: the base style sizes its arrows and a few
// other marks by the dots per inch of the option's font metrics.
QFontMetrics metricsAtDpi(const QFont &font, qreal dpi) {
  QImage device(1, 1, QImage::Format_ARGB32);
  const int dotsPerMeter = qRound(dpi / 0.0254);
  device.setDotsPerMeterX(dotsPerMeter);
  device.setDotsPerMeterY(dotsPerMeter);
  return QFontMetrics(font, &device);
}

bool isArrow(QStyle::PrimitiveElement e) {
  return e == QStyle::PE_IndicatorArrowRight || e == QStyle::PE_IndicatorArrowLeft ||
         e == QStyle::PE_IndicatorArrowUp || e == QStyle::PE_IndicatorArrowDown;
}

} // namespace

ScaleStyle::ScaleStyle(const QString &baseKey) : QProxyStyle(baseKey) {}

int ScaleStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                            const QWidget *widget) const {
  const int v = QProxyStyle::pixelMetric(metric, option, widget);
  const qreal s = activeScale();
  return isScaled(s) && isLength(metric) ? scaledLength(v, s) : v;
}

int ScaleStyle::layoutSpacing(QSizePolicy::ControlType first, QSizePolicy::ControlType second,
                              Qt::Orientation orientation, const QStyleOption *option,
                              const QWidget *widget) const {
  const int v = QProxyStyle::layoutSpacing(first, second, orientation, option, widget);
  const qreal s = activeScale();
  return isScaled(s) ? scaledLength(v, s) : v;
}

QSize ScaleStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                   const QSize &contents, const QWidget *widget) const {
  const qreal s = activeScale();
  if (!isScaled(s))
    return QProxyStyle::sizeFromContents(type, option, contents, widget);
  switch (type) {
  case CT_MenuItem:
    if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        item && isMenu(widget)) {
      // Laid out as the 1x entry and enlarged, the entry has room for its drawing below.
      const QStyleOptionMenuItem o = designItem(*item, s);
      QSize c = atDesign(contents, s);
      if (!o.text.isEmpty()) {
        const qsizetype tab = o.text.indexOf(QLatin1Char('\t'));
        const QString label = tab < 0 ? o.text : o.text.left(tab);
        const int width =
            o.fontMetrics.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic, label)
                .width();
        c = c.expandedTo(QSize(width, o.fontMetrics.height()));
      }
      Depth design(designDepth);
      return atWindow(QProxyStyle::sizeFromContents(type, &o, c, widget), s);
    }
    break;
  case CT_PushButton:
  case CT_CheckBox:
  case CT_RadioButton:
  case CT_LineEdit:
  case CT_SpinBox:
  case CT_ComboBox:
  case CT_ToolButton: {
    // The padding around the contents is the style's 1x padding, enlarged.
    Depth design(designDepth);
    return atWindow(QProxyStyle::sizeFromContents(type, option, atDesign(contents, s), widget), s);
  }
  default:
    break;
  }
  return QProxyStyle::sizeFromContents(type, option, contents, widget);
}

void ScaleStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                               QPainter *painter, const QWidget *widget) const {
  if (designDepth > 0 && isArrow(element) && isScaled(uiScale())) {
    drawArrow(element, option, painter);
    return;
  }
  const qreal s = activeScale();
  if (isScaled(s) && isMenu(widget) && (element == PE_PanelMenu || element == PE_FrameMenu)) {
    if (const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option)) {
      QStyleOptionFrame o(*frame);
      o.lineWidth = std::max(1, qRound(frame->lineWidth / s));
      drawAtDesignSize(painter, o, s,
                       [&] { QProxyStyle::drawPrimitive(element, &o, painter, widget); });
    } else {
      QStyleOption o(*option);
      drawAtDesignSize(painter, o, s,
                       [&] { QProxyStyle::drawPrimitive(element, &o, painter, widget); });
    }
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ScaleStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                             const QWidget *widget) const {
  const qreal s = activeScale();
  const bool menuPart = element == CE_MenuItem || element == CE_MenuEmptyArea ||
                        element == CE_MenuScroller || element == CE_MenuTearoff;
  const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
  if (isScaled(s) && menuPart && item && isMenu(widget)) {
    QStyleOptionMenuItem o = designItem(*item, s);
    const QRect r = item->rect;
    o.menuRect = QRect(QPointF((item->menuRect.topLeft() - r.topLeft()) / s).toPoint(),
                       atDesign(item->menuRect.size(), s));
    drawAtDesignSize(painter, o, s,
                     [&] { QProxyStyle::drawControl(element, &o, painter, widget); });
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

namespace {
// The scroll bar as the base style sees it: on a screen of `s` times the dots per inch, so its
// arrows and buttons have the 1x proportions (not 8-pixel arrows in buttons three times as wide).
// Drawing and hit-testing both see it so, and a press lands on what is drawn.
QStyleOptionSlider scrollBarAtScale(const QStyleOptionSlider &bar, const QWidget *widget, qreal s) {
  QStyleOptionSlider o(bar);
  o.fontMetrics =
      metricsAtDpi(widget ? widget->font() : QApplication::font(), bar.fontMetrics.fontDpi() * s);
  return o;
}
} // namespace

void ScaleStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                                    QPainter *painter, const QWidget *widget) const {
  const qreal s = activeScale();
  const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
  if (isScaled(s) && control == CC_ScrollBar && bar) {
    const QStyleOptionSlider o = scrollBarAtScale(*bar, widget, s);
    Depth native(dpiDepth);
    QProxyStyle::drawComplexControl(control, &o, painter, widget);
    return;
  }
  QProxyStyle::drawComplexControl(control, option, painter, widget);
}

QRect ScaleStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                 SubControl sub, const QWidget *widget) const {
  const qreal s = activeScale();
  const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
  if (isScaled(s) && control == CC_ScrollBar && bar) {
    const QStyleOptionSlider o = scrollBarAtScale(*bar, widget, s);
    Depth native(dpiDepth);
    return QProxyStyle::subControlRect(control, &o, sub, widget);
  }
  return QProxyStyle::subControlRect(control, option, sub, widget);
}

void installScaleStyle() {
  auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
  if (!app || dynamic_cast<ScaleStyle *>(QApplication::style()))
    return;
  QApplication::setStyle(new ScaleStyle(QApplication::style()->name()));
}
