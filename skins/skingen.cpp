// Draws velora's default skin: the picture sheet, its skins.conf, the mini-mode pictures and
// masks, and a wallpaper, at 1, 2 and 3 device pixels per skin pixel (skins.png, skins@2x.png,
// skins@3x.png, ...). Run as `skingen <output folder>`; the build runs it so that the skin in
// the staged tree always matches this file.
//
// Every picture is opaque and already composed over the background it will be drawn on: the
// window copies rectangles, and a knob or level picture with holes would leave stale pixels or
// show through to whatever the sheet has under it.
#include "palette.h"
#include "pictures.h"
#include "sheet.h"
#include "widgets.h"

#include <QDir>
#include <QGuiApplication>
#include <QLinearGradient>

#include <cstdio>

using namespace skingen;

namespace {

// Draws every picture at the current density and writes it into `out`.
bool drawSkin(const QString &out) {
  // Sheet: the left 240 columns hold the vertical background (rows 0-319), free space, the mini
  // lyrics strip (row 463), then the two panel strips; everything else is packed to the right.
  Sheet sheet(520, 1200);
  const int lyricsStripY = 463, lrcStripY = 487, eqStripY = lrcStripY + panelHeight + 1;
  sheet.addRegion(0, 321, 240, lyricsStripY - 1);
  sheet.addRegion(242, 0, 520, 1200);
  sheet.addRegion(0, eqStripY + panelHeight + 1, 240, 1200);
  Conf conf;

  const QImage mainBg = verticalBackground();
  const QImage lrcStrip = panelStrip(true), eqStrip = panelStrip(false);
  sheet.put(mainBg, 0, 0);
  sheet.put(miniLyricsStrip(), 0, lyricsStripY);
  sheet.put(lrcStrip, 0, lrcStripY);
  sheet.put(eqStrip, 0, eqStripY);

  // Background under a vertical-mode element, for the panel it belongs to.
  enum Where { Top, Playlist, Lyrics, Equalizer };
  auto bgAt = [&](const QRect &r, Where w) {
    if (w == Lyrics)
      return part(lrcStrip, r.translated(0, -panelTop));
    if (w == Equalizer)
      return part(eqStrip, r.translated(0, -panelTop));
    return part(mainBg, r);
  };

  // Push button: pressed picture directly below.
  auto push = [&](const char *key, QRect r, Where w, Icon icon, const QString &label = {},
                  bool round = false) {
    const QImage bg = bgAt(r, w);
    conf.element(key, r,
                 sheet.placeBelow(button(bg, Look::Normal, icon, label, round),
                                  button(bg, Look::Pressed, icon, label, round)));
  };
  // Switch: "on" picture directly below.
  auto sw = [&](const char *key, QRect r, Where w, const QString &off, const QString &on,
                int pixels = 10) {
    const QImage bg = bgAt(r, w);
    conf.element(key, r,
                 sheet.placeBelow(toggle(bg, false, off, pixels), toggle(bg, true, on, pixels)));
  };
  auto tabKey = [&](const char *key, QRect r, const QString &label) {
    // Tabs are drawn over every panel; the three strips agree at their row.
    const QImage bg = bgAt(r, Playlist);
    conf.element(key, r, sheet.placeBelow(tab(bg, false, label), tab(bg, true, label)));
  };

  // ---- vertical mode, in the order the window reads the keys
  push("prev", QRect(8, 111, 36, 36), Top, Icon::Prev, {}, true);
  {
    const QRect r(48, 111, 36, 36);
    const QImage bg = bgAt(r, Top);
    const QPoint at = sheet.placeGrid(button(bg, Look::Normal, Icon::Play, {}, true, true),
                                      button(bg, Look::Normal, Icon::Pause, {}, true, true),
                                      button(bg, Look::Pressed, Icon::Play, {}, true, true),
                                      button(bg, Look::Pressed, Icon::Pause, {}, true, true));
    conf.element("play", r, at);
  }
  push("stop", QRect(88, 111, 36, 36), Top, Icon::Stop, {}, true);
  push("next", QRect(128, 111, 36, 36), Top, Icon::Next, {}, true);
  sw("pos_A", QRect(102, 56, 26, 20), Top, "A", "A", 11);

  // Equalizer bands: level pictures, negative levels on the first row (index 1 = lowest),
  // zero and positive levels on the second row.
  const QRect eqFirst(52, 206, eqColumnW, eqColumnH);
  const int eqSpacing = 18;
  {
    const QImage colBg = bgAt(eqFirst, Equalizer);
    QImage levels = blank(eqColumnW * 14, eqColumnH * 2, panel);
    QPainter p(&levels);
    for (int i = 1; i <= 13; ++i) // v / 2 + 13 = i  ->  v about 2 (i - 13)
      p.drawImage(i * eqColumnW, 0, eqColumn(colBg, 2 * (i - 13)));
    p.drawImage(0, 0, eqColumn(colBg, 0));
    for (int i = 0; i <= 12; ++i) // v / 2 = i
      p.drawImage(i * eqColumnW, eqColumnH, eqColumn(colBg, 2 * i));
    p.end();
    const QPoint lv = sheet.place(levels);
    // Knob: the window always draws the lower picture (ky + kh); both rows carry it.
    QImage knob = blank(10, 7, colBg.pixelColor(0, 0));
    {
      QPainter k(&knob);
      antialias(k);
      k.setPen(QPen(QColor(0x9a, 0xe4, 0xff), 1));
      k.setBrush(QColor(0xe8, 0xf6, 0xff));
      k.drawRoundedRect(QRectF(0.5, 0.5, 9, 6), 3, 3);
    }
    const QPoint kp = sheet.placeBelow(knob, knob);
    conf.element("EQ", eqFirst, lv,
                 knobFields(kp, knob.size()) + QStringList{QString::number(eqSpacing)});
  }
  sw("pos_B", QRect(130, 56, 26, 20), Top, "B", "B", 11);

  {
    // Position bar: the window copies the bar from the background, then the knob over it.
    const QRect r(10, 88, 220, 18);
    const QImage bg = bgAt(r, Top);
    auto knob = [&](bool dragged) {
      QImage k = part(bg, 100, 1, 30, 16); // the groove runs under the knob on both sides
      QPainter p(&k);
      antialias(p);
      const QPointF c(15, 8);
      if (dragged) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x35, 0xc2, 0xff, 70));
        p.drawEllipse(c, 8, 8);
      }
      p.setPen(QPen(dragged ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(dragged ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(c, dragged ? 6.0 : 5.5, dragged ? 6.0 : 5.5);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("posbar", r, r.topLeft(), knobFields(kp, k.size()));
  }

  conf.element("plistwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, panelTop));
  conf.element("lrcwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, lrcStripY));
  conf.element("eqwin", QRect(0, panelTop, 240, panelHeight), QPoint(0, eqStripY));
  tabKey("btn_plistwin", QRect(2, 300, 78, 20), "Playlist");
  tabKey("btn_lrcwin", QRect(81, 300, 78, 20), "Lyrics");
  tabKey("btn_eqwin", QRect(160, 300, 78, 20), "Equalizer");
  sw("EQE_BTN", QRect(6, 155, 50, 20), Equalizer, "EQ OFF", "EQ ON");

  {
    // Playlist scroll bar, right of the six lines.
    const QRect r(222, listTop, 14, listHeight);
    QImage track = bgAt(r, Playlist);
    {
      QPainter p(&track);
      antialias(p);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0x1c, 0x22, 0x2c));
      p.drawRoundedRect(QRectF(4, 2, 6, listHeight - 4), 3, 3);
    }
    const QPoint tp = sheet.place(track);
    auto knob = [&](bool pressed) {
      QImage k = part(track, 1, 50, 12, 20);
      QPainter p(&k);
      antialias(p);
      p.setPen(Qt::NoPen);
      p.setBrush(pressed ? accent : QColor(0x5a, 0x66, 0x78));
      p.drawRoundedRect(QRectF(2.5, 1, 7, 18), 3.5, 3.5);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("plist_Bar", r, tp, knobFields(kp, k.size()) + QStringList{"#d8dee9"});
  }

  sw("audio3d_btn", QRect(158, 56, 34, 20), Top, "3D", "3D");
  sw("bassbooster", QRect(196, 56, 36, 20), Top, "BASS", "BASS", 9);
  push("exit_win", QRect(214, 5, 22, 20), Top, Icon::Close);
  push("H_win", QRect(190, 5, 22, 20), Top, Icon::Rotate);
  push("mini_win", QRect(166, 5, 22, 20), Top, Icon::Mini);
  push("OP_BTN", QRect(6, 155, 54, 20), Playlist, Icon::Folder, "Open");
  sw("shuf_BTN", QRect(122, 155, 54, 20), Playlist, "Shuffle", "Shuffle");
  sw("repeat_BTN", QRect(180, 155, 54, 20), Playlist, "Repeat", "Repeat");
  push("plist_BTN", QRect(64, 155, 54, 20), Playlist, Icon::None, "Lists");

  {
    // Volume: 68 wide; the knob travels 54 pixels with a 2-pixel inset.
    const QRect r(168, 120, 68, 18);
    QImage track = bgAt(r, Top);
    {
      QPainter p(&track);
      antialias(p);
      p.setPen(Qt::NoPen);
      QLinearGradient g(8, 0, 62, 0);
      g.setColorAt(0, QColor(0x24, 0x2b, 0x36));
      g.setColorAt(1, QColor(0x24, 0x2b, 0x36));
      p.setBrush(g);
      p.drawRoundedRect(QRectF(2, 7, 64, 4), 2, 2);
    }
    const QPoint tp = sheet.place(track);
    auto knob = [&](bool pressed) {
      QImage k = part(track, 28, 0, 12, 18);
      QPainter p(&k);
      antialias(p);
      p.setPen(QPen(pressed ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(pressed ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(QPointF(6, 9), pressed ? 5.3 : 4.8, pressed ? 5.3 : 4.8);
      return k;
    };
    const QImage k = knob(false);
    const QPoint kp = sheet.placeBelow(k, knob(true));
    conf.element("VL_BTN", r, tp, knobFields(kp, k.size()));
  }

  sw("showlrc_BTN", QRect(6, 155, 50, 20), Lyrics, "Show", "Show");
  sw("textcodec_BTN", QRect(60, 155, 50, 20), Lyrics, "GBK", "Big5");
  push("font_BTN", QRect(114, 155, 36, 20), Lyrics, Icon::None, "Aa");
  {
    // A label; the two colour swatch buttons sit to its right, 12 x 12 at y + 1.
    const QRect r(154, 155, 40, 20);
    QImage pic = bgAt(r, Lyrics);
    {
      QPainter p(&pic);
      antialias(p);
      p.setFont(font(10, true));
      p.setPen(textDim);
      p.drawText(QRectF(0, 0, 40, 14), Qt::AlignRight | Qt::AlignVCenter, "Color");
    }
    QImage pressed = pic;
    conf.element("color_BTN", r, sheet.placeBelow(pic, pressed));
  }
  push("presets_BTN", QRect(60, 155, 64, 20), Equalizer, Icon::None, "Presets");
  push("EQ_BTN_ZERO", QRect(128, 155, 50, 20), Equalizer, Icon::None, "Reset");
  {
    const QRect r(22, eqFirst.y(), eqColumnW, eqColumnH);
    conf.element("EQ_Preamp", r, sheet.place(eqColumn(bgAt(r, Equalizer), 0, 5)));
  }

  // ---- displays shared by both modes
  {
    const QImage titleBg = bgAt(titleRect, Top);
    conf.element("title_win", titleRect, sheet.place(titleBg), {"#9fe7ff"});
    const QRect timeRect(12, 53, glyphW, glyphH);
    conf.element("time_win", timeRect, sheet.place(timeGlyphs()),
                 {QString::number(5 * glyphW), QString::number(glyphH)});
    // Play state: playing, paused, stopped stacked.
    const QRect r(214, 34, 18, 16);
    const QImage bg = bgAt(r, Top);
    QImage states = blank(18, 48);
    QPainter p(&states);
    const Icon icons[] = {Icon::Play, Icon::Pause, Icon::Stop};
    const QColor colours[] = {accent, warm, textDim};
    for (int i = 0; i < 3; ++i) {
      QImage s = bg.copy();
      {
        QPainter q(&s);
        drawIcon(q, icons[i], QRectF(2, 1, 14, 14), colours[i]);
      }
      p.drawImage(0, 16 * i, s);
    }
    p.end();
    conf.element("play_display_win", r, sheet.place(states));
  }
  {
    // Equalizer curve: 9 segments of 12 pixels, zero level at row 10; the colour column's
    // sheet place doubles as the size of the window's curve buffer, so it must lie at x >= 108
    // and below row 11.
    const QRect r(66, 180, 108, 20);
    QImage bg = bgAt(r, Equalizer);
    {
      QPainter p(&bg);
      antialias(p);
      p.setPen(QPen(displayEdge, 1));
      p.setBrush(display);
      p.drawRoundedRect(QRectF(0.5, 0.5, 107, 19), 4, 4);
      p.setPen(QPen(QColor(0x1e, 0x25, 0x30), 1, Qt::DotLine));
      p.drawLine(QPointF(3, 10.5), QPointF(105, 10.5));
    }
    const QPoint bp = sheet.place(bg);
    QImage column = blank(1, 17);
    {
      QPainter c(&column);
      for (int e = -8; e <= 8; ++e)
        c.fillRect(QRectF(0, 8 - e, 1, 1), curveColour(e));
    }
    // Between the left block and the packed area: the curve buffer becomes 241 x 28.
    const QPoint cp(241, 20);
    sheet.put(column, cp.x(), cp.y());
    conf.element("eqalzr_win", r, bp, {QString::number(cp.x()), QString::number(cp.y() + 8)});
  }
  conf.element("lrcwin_show", QRect(0, 178, 240, 120), QPoint(0, lrcStripY + 178 - panelTop));

  // ---- horizontal mode: drawn as the landscape view, stored turned
  // Landscape rectangle (X, Y, W, H) -> portrait element rectangle.
  auto portrait = [](const QRect &l) {
    return QRect(l.y(), 320 - l.x() - l.width(), l.height(), l.width());
  };
  QImage topStrip = blank(320, 68), bottomStrip = blank(320, 68);
  {
    QPainter p(&topStrip);
    antialias(p);
    QLinearGradient g(0, 0, 0, 68);
    g.setColorAt(0, QColor(0x1d, 0x23, 0x2e));
    g.setColorAt(1, QColor(0x15, 0x1a, 0x22));
    p.fillRect(logicalRect(topStrip), g);
    p.setPen(QPen(panelEdge, 1));
    p.drawLine(QPointF(0, 67.5), QPointF(320, 67.5));
    // Title display (the title lands at X 7-207, Y 21-37) and the time well (X 230-310, Y 40-66).
    p.setPen(QPen(displayEdge, 1));
    p.setBrush(display);
    p.drawRoundedRect(QRectF(3.5, 18.5, 208, 22), 5, 5);
    p.drawRoundedRect(QRectF(226.5, 37.5, 88, 29), 5, 5);
    p.setFont(font(12, true));
    p.setPen(text);
    p.drawText(QRectF(8, 0, 120, 18), Qt::AlignLeft | Qt::AlignVCenter, "velora");
  }
  {
    QPainter p(&bottomStrip);
    antialias(p);
    QLinearGradient g(0, 0, 0, 68);
    g.setColorAt(0, QColor(0x15, 0x1a, 0x22));
    g.setColorAt(1, QColor(0x1d, 0x23, 0x2e));
    p.fillRect(logicalRect(bottomStrip), g);
    p.setPen(QPen(panelEdge, 1));
    p.drawLine(QPointF(0, 0.5), QPointF(320, 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x31, 0x3d));
    p.drawRoundedRect(QRectF(18, 10, 284, 4), 2, 2); // position groove, Y 182-186
    p.setBrush(QColor(0x24, 0x2b, 0x36));
    p.drawRoundedRect(QRectF(249, 42, 60, 4), 2, 2); // volume groove, Y 214-218
    p.setFont(font(8, true));
    p.setPen(textFaint);
    p.drawText(QRectF(244, 52, 70, 12), Qt::AlignCenter, "VOLUME");
  }
  const int bottomY = 172;
  auto landBg = [&](const QRect &l) {
    return l.y() >= bottomY ? part(bottomStrip, l.translated(0, -bottomY)) : part(topStrip, l);
  };
  // Horizontal push button: pressed picture directly right (in the turned sheet).
  auto hpush = [&](const char *key, QRect l, Icon icon, bool primary = false) {
    const QImage bg = landBg(l);
    conf.element(key, portrait(l),
                 sheet.placeRight(turn(button(bg, Look::Normal, icon, {}, true, primary)),
                                  turn(button(bg, Look::Pressed, icon, {}, true, primary))));
  };
  auto hsw = [&](const char *key, QRect l, const QString &label) {
    const QImage bg = landBg(l);
    conf.element(
        key, portrait(l),
        sheet.placeRight(turn(toggle(bg, false, label, 11)), turn(toggle(bg, true, label, 11))));
  };

  hsw("H_pos_A", QRect(180, 204, 26, 24), "A");
  hsw("H_pos_B", QRect(210, 204, 26, 24), "B");
  hpush("H_prev", QRect(14, 198, 36, 36), Icon::Prev);
  {
    // Playing picture directly above the normal one; pressed pictures to the right of both.
    const QRect l(54, 198, 36, 36);
    const QImage bg = landBg(l);
    const QPoint at = sheet.placeGrid(turn(button(bg, Look::Normal, Icon::Pause, {}, true, true)),
                                      turn(button(bg, Look::Pressed, Icon::Pause, {}, true, true)),
                                      turn(button(bg, Look::Normal, Icon::Play, {}, true, true)),
                                      turn(button(bg, Look::Pressed, Icon::Play, {}, true, true)));
    conf.element("H_play", portrait(l), at + QPoint(0, 36));
  }
  hpush("H_stop", QRect(94, 198, 36, 36), Icon::Stop);
  hpush("H_next", QRect(134, 198, 36, 36), Icon::Next);
  {
    const QRect l(10, 176, 300, 16);
    const QImage bg = landBg(l);
    auto knob = [&](bool dragged) {
      QImage k = part(bg, 120, 1, 30, 14);
      QPainter p(&k);
      antialias(p);
      const QPointF c(15, 7);
      if (dragged) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x35, 0xc2, 0xff, 70));
        p.drawEllipse(c, 7, 7);
      }
      p.setPen(QPen(dragged ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(dragged ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(c, 5.5, 5.5);
      return turn(k);
    };
    const QImage k = knob(false), d = knob(true);
    // Dragged picture both right of and below the knob, whichever way the window reads it.
    const QPoint kp = sheet.placeGrid(k, d, d, d);
    conf.element("H_posbar", portrait(l), sheet.place(turn(bg)), knobFields(kp, k.size()));
  }
  {
    const QRect l(244, 204, 70, 24);
    // The track is copied 4 pixels longer than the element (2 at each end).
    const QImage track = landBg(QRect(l.x() - 2, l.y(), l.width() + 4, l.height()));
    auto knob = [&](bool pressed) {
      QImage k = landBg(QRect(270, 204, 16, 24));
      QPainter p(&k);
      antialias(p);
      p.setPen(QPen(pressed ? Qt::white : QColor(0x9a, 0xe4, 0xff), 1.2));
      p.setBrush(pressed ? accent : QColor(0xe8, 0xf6, 0xff));
      p.drawEllipse(QPointF(8, 12), pressed ? 5.3 : 4.8, pressed ? 5.3 : 4.8);
      return turn(k);
    };
    const QImage k = knob(false), pr = knob(true);
    const QPoint kp = sheet.placeGrid(k, pr, pr, pr);
    conf.element("H_VL_BTN", portrait(l), sheet.place(turn(track)), knobFields(kp, k.size()));
  }
  conf.element("H_WIN_T", portrait(QRect(0, 0, 320, 68)), sheet.place(turn(topStrip)));
  conf.element("H_WIN_B", portrait(QRect(0, bottomY, 320, 68)), sheet.place(turn(bottomStrip)));
  hpush("H_exit_win", QRect(288, 6, 24, 24), Icon::Close);
  hpush("V_win_btn", QRect(260, 6, 24, 24), Icon::Rotate);
  hpush("H_mini_win", QRect(232, 6, 24, 24), Icon::Mini);

  conf.value("mwin_Y", "0");
  conf.value("mwin_H", "320");
  conf.value("win_enabled", "true");
  // Colours for what is not a picture: margins around the picture, dialogs and menus.
  conf.value("ui_background", panel.name());
  conf.value("ui_text", text.name());
  conf.value("ui_highlight", accent.name());
  conf.value("ui_button", btnBottom.name());

  // ---- write everything
  const QImage mm = miniMain();
  const QImage wall = wallpaper();
  // Higher densities carry the toolkit's own suffix beside each picture; the layout file and
  // the 1-bit window shapes (scaled by the window itself) exist once.
  const QString at = density == 1 ? QString() : QStringLiteral("@%1x").arg(density);
  auto picture = [&](const QImage &img, const char *name) {
    return savePng(img.convertToFormat(QImage::Format_RGB32), out + "/" + name + at + ".png");
  };
  bool ok = picture(sheet.finished(), "skins") && picture(miniButtons(mm), "mini_btn") &&
            picture(mm, "mini_main") && picture(wall, "wallpaper");
  if (ok && density == 1) {
    QByteArray confText = "# velora default skin, drawn by skins/skingen.cpp\n[SKINS]\n";
    confText += conf.lines.join('\n').toUtf8() + "\n";
    ok = writeAtomically(out + "/skins.conf", confText) && savePng(mask(25), out + "/mask.png") &&
         savePng(mask(48), out + "/mask_d.png");
  }
  return ok;
}

} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <output folder>\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "skingen: cannot create %s\n", argv[1]);
    return 1;
  }
  for (int d = 1; d <= 3; ++d) {
    density = d;
    if (!drawSkin(out)) {
      std::fprintf(stderr, "skingen: cannot write the skin into %s\n", argv[1]);
      return 1;
    }
  }
  return 0;
}
