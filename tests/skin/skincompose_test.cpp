// Composes the three window modes from the default skin by the window's own copy rules. With
// VELORA_SKIN_PREVIEW=<folder> the compositions are saved for a person to look at.
#include "skinfixture.h"

using namespace skintest;

TEST(Skin, ComposedModes) {
  const Skin &s = skin();
  const QImage &sh = s.sheet;
  auto el = [&](QPainter &p, const char *k, int dx = 0, int dy = 0) {
    copy(p, sh, s.pic(k).translated(dx, dy), s.screen(k).topLeft());
  };
  std::vector<std::pair<std::string, QImage>> shots;
  for (int panel = 1; panel <= 3; ++panel) {
    QImage v(240, 320, QImage::Format_RGB32);
    QPainter p(&v);
    copy(p, sh, QRect(0, s.mwinY, 240, s.mwinH), {0, 0});
    for (const char *k : {"exit_win", "H_win", "mini_win", "prev", "stop", "next", "audio3d_btn"})
      el(p, k);
    el(p, "play", s.f("play", 2)); // playing
    el(p, "bassbooster", 0, s.f("bassbooster", 3));
    el(p, "pos_A", 0, s.f("pos_A", 3));
    el(p, "pos_B");
    el(p, "VL_BTN");
    const int volume = 70;
    copy(p, sh, s.knob("VL_BTN"),
         {s.f("VL_BTN", 0) + volume * (s.f("VL_BTN", 2) - 14) / 100, s.f("VL_BTN", 1)});
    const char *strip = panel == 1 ? "plistwin" : panel == 2 ? "lrcwin" : "eqwin";
    copy(p, sh, QRect(0, s.f(strip, 5), 240, s.f(strip, 3)), {0, s.f(strip, 1)});
    if (panel == 1) {
      el(p, "OP_BTN");
      el(p, "plist_BTN");
      el(p, "shuf_BTN", 0, s.f("shuf_BTN", 3));
      el(p, "repeat_BTN");
      el(p, "plist_Bar");
      copy(p, sh, s.knob("plist_Bar"), {s.f("plist_Bar", 0) + 1, s.f("plist_Bar", 1) + 30});
      QFont f;
      f.setPixelSize(12);
      for (int r = 0; r < 6; ++r) {
        QImage line(210, 14, QImage::Format_RGB32);
        QPainter lp(&line);
        copy(lp, sh, QRect(10, s.f("plist_Bar", 1) + 10, 210, 14), {0, 0});
        lp.setFont(f);
        lp.setPen(QColor(s.raw.at("plist_Bar")[10]));
        lp.drawText(QRect(0, 0, 210, 14), Qt::AlignLeft | Qt::AlignTop,
                    QString("%1.Track number %2.mp3").arg(r + 4).arg(r + 4));
        lp.end();
        p.drawImage(10, s.f("plist_Bar", 1) + 20 * r, line);
      }
    } else if (panel == 2) {
      el(p, "showlrc_BTN", 0, s.f("showlrc_BTN", 3));
      el(p, "textcodec_BTN");
      el(p, "font_BTN");
      el(p, "color_BTN");
      const QRect c = s.screen("color_BTN");
      p.fillRect(c.x() + c.width() + 10, c.y() + 1, 12, 12, QColor("#ffd166"));
      p.fillRect(c.x() + c.width() + 27, c.y() + 1, 12, 12, QColor("#c8c8c8"));
      QImage ly = sh.copy(s.pic("lrcwin_show"));
      QPainter lp(&ly);
      QFont f("WenQuanYi Micro Hei");
      f.setPointSize(16);
      lp.setFont(f);
      const char *lines[] = {"Previous line",
                             "\xE5\xBD\x93\xE5\x89\x8D\xE6\xAD\x8C\xE8\xAF\x8D current",
                             "Next line", "And the one after"};
      for (int i = 0; i < 4; ++i) {
        lp.setPen(i == 1 ? QColor("#ffd166") : QColor("#c8c8c8"));
        lp.drawText(QRect(0, 27 + 28 * (i - 0) - 0, 240, 40), 1068, QString::fromUtf8(lines[i]));
      }
      lp.end();
      p.drawImage(s.screen("lrcwin_show").topLeft(), ly);
    } else {
      el(p, "presets_BTN");
      el(p, "EQ_BTN_ZERO");
      el(p, "EQE_BTN", 0, s.f("EQE_BTN", 3));
      const int w = s.f("EQ", 2), h = s.f("EQ", 3);
      const int values[] = {12, 18, 9, 0, -6, -10, -3, 6, 14, 20};
      const QRect k = s.knob("EQ");
      for (int i = 0; i < 10; ++i) {
        const int v = values[i];
        const int x = s.f("EQ", 0) + i * s.f("EQ", 10);
        const QRect level = v < 0 ? QRect(s.f("EQ", 4) + (v / 2 + 13) * w, s.f("EQ", 5), w, h)
                                  : QRect(s.f("EQ", 4) + (v / 2) * w, s.f("EQ", 5) + h, w, h);
        copy(p, sh, level, {x, s.f("EQ", 1)});
        copy(p, sh, QRect(k.x(), k.y() + k.height(), k.width(), k.height()),
             {x + 1, s.f("EQ", 1) + h / 2 - k.height() / 2 - v});
      }
      el(p, "EQ_Preamp");
      copy(p, sh, QRect(k.x(), k.y() + k.height(), k.width(), k.height()),
           {s.f("EQ_Preamp", 0) + 2,
            s.f("EQ_Preamp", 1) + s.f("EQ_Preamp", 3) / 2 - k.height() / 2 - 5});
      // Curve.
      QImage curve = sh.copy(s.pic("eqalzr_win"));
      for (int j = 0; j < 9; ++j)
        for (int kx = 0; kx < 12; ++kx) {
          const int e = ((11 - kx) * values[j] + kx * values[j + 1]) / 33;
          curve.setPixel(12 * j + kx, 10 - e,
                         sh.pixel(s.f("eqalzr_win", 6), s.f("eqalzr_win", 7) - e));
        }
      p.drawImage(s.screen("eqalzr_win").topLeft(), curve);
    }
    el(p, "btn_plistwin", 0, panel == 1 ? s.f("btn_plistwin", 3) : 0);
    el(p, "btn_lrcwin", 0, panel == 2 ? s.f("btn_lrcwin", 3) : 0);
    el(p, "btn_eqwin", 0, panel == 3 ? s.f("btn_eqwin", 3) : 0);
    // Play state, title, time and position as the timers draw them.
    copy(p, sh, s.pic("play_display_win"), s.screen("play_display_win").topLeft());
    QImage title = sh.copy(s.pic("title_win"));
    {
      QPainter tp(&title);
      QFont f("WenQuanYi Micro Hei");
      f.setPointSize(10);
      tp.setFont(f);
      tp.setPen(QColor(s.raw.at("title_win")[6]));
      tp.drawText(title.rect(), Qt::AlignLeft | Qt::AlignTop, "4.Track number 4.mp3");
    }
    p.drawImage(s.screen("title_win").topLeft(), title);
    const int glyphs[] = {0, 3, 10, 4, 7};
    for (int g = 0; g < 5; ++g)
      copy(p, sh,
           QRect(s.f("time_win", 4) + glyphs[g] * s.f("time_win", 2), s.f("time_win", 5),
                 s.f("time_win", 2), s.f("time_win", 3)),
           {s.f("time_win", 0) + g * s.f("time_win", 2), s.f("time_win", 1)});
    QImage bar = sh.copy(s.pic("posbar"));
    {
      QPainter bp(&bar);
      copy(bp, sh, s.knob("posbar"), {35 * (s.f("posbar", 2) - 32) / 100, 1});
    }
    p.drawImage(s.screen("posbar").topLeft(), bar);
    p.end();
    EXPECT_NE(v.pixel(s.f("prev", 0) + s.f("prev", 2) / 2, s.f("prev", 1) + s.f("prev", 3) / 2),
              v.pixel(5, 150));
    shots.push_back({std::string("vertical-") + strip, v});
  }
  {
    // Every push button held down, over the playlist panel.
    QImage v = shots.front().second.copy();
    QPainter p(&v);
    for (const char *k : pushKeys)
      if (std::string(k) != "presets_BTN" && std::string(k) != "EQ_BTN_ZERO" &&
          std::string(k) != "font_BTN")
        el(p, k, 0, s.f(k, 3));
    el(p, "play", 0, s.f("play", 3));
    p.end();
    for (const char *k : {"prev", "stop", "OP_BTN"})
      EXPECT_NE(v.copy(s.screen(k)), shots.front().second.copy(s.screen(k))) << k;
    shots.push_back({"vertical-pressed", v});
  }
  {
    QImage land(320, 240, QImage::Format_RGB32);
    {
      QPainter lp(&land);
      lp.drawImage(0, 0, s.wallpaper, 0, 0, 320, 240);
    }
    QImage h = land.transformed(QTransform().rotate(270));
    ASSERT_EQ(h.size(), QSize(240, 320));
    QPainter p(&h);
    for (const char *k : {"H_WIN_T", "H_WIN_B", "H_exit_win", "V_win_btn", "H_mini_win", "H_prev",
                          "H_stop", "H_next", "H_pos_B"})
      el(p, k);
    el(p, "H_play", 0, -s.f("H_play", 3));
    el(p, "H_pos_A", s.f("H_pos_A", 2));
    copy(p, sh,
         QRect(s.f("H_VL_BTN", 4), s.f("H_VL_BTN", 5), s.f("H_VL_BTN", 2), s.f("H_VL_BTN", 3) + 4),
         {s.f("H_VL_BTN", 0), s.f("H_VL_BTN", 1) - 2});
    const int hTrack = s.f("H_VL_BTN", 3) - 16;
    copy(p, sh, s.knob("H_VL_BTN"), {s.f("H_VL_BTN", 0), s.f("H_VL_BTN", 1) + hTrack * 30 / 100});
    QImage bar = sh.copy(s.pic("H_posbar"));
    {
      QPainter bp(&bar);
      copy(bp, sh, s.knob("H_posbar"), {1, 65 * (s.f("H_posbar", 3) - 32) / 100});
    }
    p.drawImage(s.screen("H_posbar").topLeft(), bar);
    QImage title = sh.copy(s.pic("title_win"));
    {
      QPainter tp(&title);
      QFont f("WenQuanYi Micro Hei");
      f.setPointSize(10);
      tp.setFont(f);
      tp.setPen(QColor(s.raw.at("title_win")[6]));
      tp.drawText(title.rect(), Qt::AlignLeft | Qt::AlignTop, "4.Track number 4.mp3");
    }
    p.drawImage(21, 112, title.transformed(QTransform().rotate(270)));
    QImage time(s.f("time_win", 6), s.f("time_win", 7), QImage::Format_RGB32);
    {
      QPainter tp(&time);
      const int glyphs[] = {0, 3, 10, 4, 7};
      for (int g = 0; g < 5; ++g)
        copy(tp, sh,
             QRect(s.f("time_win", 4) + glyphs[g] * s.f("time_win", 2), s.f("time_win", 5),
                   s.f("time_win", 2), s.f("time_win", 3)),
             {g * s.f("time_win", 2), 0});
    }
    p.drawImage(40, 10, time.transformed(QTransform().rotate(270)));
    p.end();
    shots.push_back({"horizontal", h});
  }
  {
    QImage m(240, 48, QImage::Format_RGB32);
    m.fill(Qt::magenta);
    QPainter p(&m);
    p.drawImage(0, 0, s.miniMain);
    copy(p, s.miniBtn, QRect(40, 40, 20, 18), {220, 0});
    copy(p, s.miniBtn, QRect(20, 40, 20, 18), {200, 0});
    copy(p, s.miniBtn, QRect(0, 40, 20, 18), {180, 0});
    copy(p, s.miniBtn, QRect(21, 0, 21, 20), {26, 3});
    copy(p, s.miniBtn, QRect(42, 0, 20, 20), {5, 3});
    copy(p, s.miniBtn, QRect(62, 20, 20, 20), {47, 3}); // next held down
    const int digits[] = {0, 3, 4, 7};
    const int xs[] = {90, 101, 121, 132};
    for (int i = 0; i < 4; ++i)
      copy(p, s.miniBtn, QRect(82 + 10 * digits[i], 0, 10, 16), {xs[i], 8});
    copy(p, s.miniBtn, QRect(182, 0, 4, 16), {114, 8});
    QImage ly = sh.copy(0, 463, 240, 23);
    {
      QPainter lp(&ly);
      QFont f("WenQuanYi Micro Hei");
      f.setPointSize(15);
      lp.setFont(f);
      lp.setPen(QColor("#ffd166"));
      lp.drawText(QRect(0, 0, 240, 23), 1068,
                  QString::fromUtf8("\xE5\xBD\x93\xE5\x89\x8D\xE6\xAD\x8C\xE8\xAF\x8D lyrics"));
    }
    p.drawImage(0, 25, ly);
    p.end();
    // Apply the with-lyrics shape.
    const QImage shape =
        QBitmap::fromImage(s.maskD).toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 240; ++x)
        if (qGray(shape.pixel(x, y)) >= 128)
          m.setPixel(x, y, qRgb(255, 255, 255));
    shots.push_back({"mini", m});
  }
  if (const char *dir = getenv("VELORA_SKIN_PREVIEW")) {
    for (const auto &[name, img] : shots)
      EXPECT_TRUE(img.scaled(img.size() * 2).save(QString("%1/%2.png").arg(dir, name.c_str())));
  }
}
