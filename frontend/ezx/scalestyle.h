// The toolkit's own style with its lengths at the window's scale. Fonts alone do not make a
// dialog or a menu larger: the style's paddings, margins, frames, check marks and sub-menu arrows
// are pixel lengths of their own and would stay at 1x beside text three times as large. This
// style scales them by uiScale(); at a scale of 1 it is the base style, pixel for pixel.
#pragma once

#include <QProxyStyle>

class ScaleStyle : public QProxyStyle {
public:
  // `baseKey` names the style to wrap (the application's style at the time).
  explicit ScaleStyle(const QString &baseKey);

  int pixelMetric(PixelMetric metric, const QStyleOption *option,
                  const QWidget *widget) const override;
  int layoutSpacing(QSizePolicy::ControlType first, QSizePolicy::ControlType second,
                    Qt::Orientation orientation, const QStyleOption *option,
                    const QWidget *widget) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contents,
                         const QWidget *widget) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override;
  void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                   const QWidget *widget) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                          QPainter *painter, const QWidget *widget) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                       const QWidget *widget) const override;
};

// Puts a ScaleStyle over the application's style, once; later calls do nothing.
void installScaleStyle();
