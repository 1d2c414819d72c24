// The skin's colours for what is not a picture: the margins around the picture in a window
// larger than the skin, and every dialog and pop-up menu, so no light default-style box opens
// over a dark skinned player. A skin names them with optional skins.conf keys; one that does not
// gets the default skin's dark palette.
#include "mainface.h"

#include "kconfig.h"

#include <QApplication>
#include <QPalette>

namespace {
// The default skin's palette (skins/palette.h draws the pictures in the same colours).
const char kBackground[] = "#11151c";
const char kText[] = "#e8ecf2";
const char kHighlight[] = "#35c2ff";
const char kButton[] = "#202631";

QColor readColour(KConfig &conf, const char *key, const char *fallback) {
  const QColor c(conf.readEntry(QString::fromLatin1(key)).trimmed());
  return c.isValid() ? c : QColor(QString::fromLatin1(fallback));
}

// Text on the highlight: dark on a light highlight, light on a dark one.
QColor onColour(const QColor &c) {
  return c.lightnessF() > 0.55 ? QColor(0x10, 0x14, 0x1a) : Qt::white;
}
} // namespace

void MainFace::loadSkinColours(KConfig &conf) {
  const QColor background = readColour(conf, "ui_background", kBackground);
  const QColor text = readColour(conf, "ui_text", kText);
  const QColor highlight = readColour(conf, "ui_highlight", kHighlight);
  const QColor button = readColour(conf, "ui_button", kButton);
  marginColour = background;

  QPalette pal;
  const QColor base =
      background.lightnessF() < 0.5 ? background.darker(125) : background.lighter(110);
  const QColor dim = QColor::fromRgbF((text.redF() + background.redF()) / 2,
                                      (text.greenF() + background.greenF()) / 2,
                                      (text.blueF() + background.blueF()) / 2);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    const bool off = g == QPalette::Disabled;
    pal.setColor(g, QPalette::Window, background);
    pal.setColor(g, QPalette::WindowText, off ? dim : text);
    pal.setColor(g, QPalette::Base, base);
    pal.setColor(g, QPalette::AlternateBase, button);
    pal.setColor(g, QPalette::Text, off ? dim : text);
    pal.setColor(g, QPalette::PlaceholderText, dim);
    pal.setColor(g, QPalette::Button, button);
    pal.setColor(g, QPalette::ButtonText, off ? dim : text);
    pal.setColor(g, QPalette::BrightText, highlight.lighter(130));
    pal.setColor(g, QPalette::Highlight, off ? button : highlight);
    pal.setColor(g, QPalette::HighlightedText, onColour(highlight));
    pal.setColor(g, QPalette::Link, highlight);
    pal.setColor(g, QPalette::ToolTipBase, button);
    pal.setColor(g, QPalette::ToolTipText, text);
    pal.setColor(g, QPalette::Light, button.lighter(140));
    pal.setColor(g, QPalette::Midlight, button.lighter(120));
    pal.setColor(g, QPalette::Mid, button.darker(120));
    pal.setColor(g, QPalette::Dark, background.darker(150));
    pal.setColor(g, QPalette::Shadow, Qt::black);
  }
  // Dialogs and menus are windows of their own: they take the application's palette. The two
  // lyrics colour swatches keep the palette they were given (their button colour is the swatch).
  QApplication::setPalette(pal);
}
