// Checks the default skin against the geometry the main window takes for granted: the skins.conf
// is read with the real settings store, every element key is present and every picture it names
// lies inside the sheet, fixed places and sizes hold, touch zones that must stay free do, and the
// two pictures of each control really differ.
#include "skinfixture.h"

using namespace skintest;

TEST(Skin, EveryElementKeyIsPresentAndInsideTheSheet) {
  const Skin &s = skin();
  ASSERT_FALSE(s.sheet.isNull());
  EXPECT_FALSE(s.sheet.hasAlphaChannel()) << "pictures are copied as they are: keep them opaque";
  const QRect portrait(0, 0, 240, 320);
  auto check = [&](const char *key) {
    SCOPED_TRACE(key);
    ASSERT_GE(s.raw.at(key).size(), 6);
    for (const QString &field : s.raw.at(key).mid(0, 6)) {
      bool ok = false;
      field.toInt(&ok);
      EXPECT_TRUE(ok) << field.toStdString();
    }
    EXPECT_TRUE(portrait.contains(s.screen(key)) || std::string(key) == "H_VL_BTN")
        << "screen rectangle off screen";
    EXPECT_TRUE(inside(s.sheet, s.pic(key))) << "picture outside the sheet";
  };
  for (const char *k : verticalKeys)
    check(k);
  for (const char *k : horizontalKeys)
    check(k);

  // Second pictures: below for vertical controls, right for horizontal ones, above for the
  // horizontal playing picture, three stacked for the play state.
  for (const char *k : pushKeys)
    EXPECT_TRUE(inside(s.sheet, s.pic(k).translated(0, s.f(k, 3)))) << k;
  for (const char *k : toggleKeys)
    EXPECT_TRUE(inside(s.sheet, s.pic(k).translated(0, s.f(k, 3)))) << k;
  EXPECT_TRUE(inside(s.sheet, s.pic("play").adjusted(0, 0, s.f("play", 2), s.f("play", 3))));
  for (const char *k : {"H_prev", "H_play", "H_stop", "H_next", "H_pos_A", "H_pos_B", "H_exit_win",
                        "V_win_btn", "H_mini_win"})
    EXPECT_TRUE(inside(s.sheet, s.pic(k).translated(s.f(k, 2), 0))) << k;
  EXPECT_TRUE(inside(s.sheet, s.pic("H_play").translated(0, -s.f("H_play", 3))));
  EXPECT_TRUE(inside(s.sheet, s.pic("H_play").translated(s.f("H_play", 2), -s.f("H_play", 3))));
  EXPECT_TRUE(
      inside(s.sheet, s.pic("play_display_win").adjusted(0, 0, 0, 2 * s.f("play_display_win", 3))));

  // Knobs and their pressed pictures.
  for (const char *k : {"posbar", "plist_Bar", "VL_BTN", "EQ", "H_posbar", "H_VL_BTN"}) {
    SCOPED_TRACE(k);
    const QRect kn = s.knob(k);
    EXPECT_TRUE(inside(s.sheet, kn));
    EXPECT_TRUE(inside(s.sheet, kn.translated(0, kn.height())));
  }
  for (const char *k : {"H_posbar", "H_VL_BTN"})
    EXPECT_TRUE(inside(s.sheet, s.knob(k).translated(s.knob(k).width(), 0))) << k;
  // The horizontal volume track is copied 4 pixels longer, starting 2 above the element.
  EXPECT_TRUE(inside(s.sheet, s.pic("H_VL_BTN").adjusted(0, 0, 0, 4)));
  EXPECT_GE(s.f("H_VL_BTN", 1), 2);
  EXPECT_LE(s.f("H_VL_BTN", 1) + s.f("H_VL_BTN", 3) + 2, 320);

  EXPECT_EQ(s.raw.at("plist_Bar").size(), 11);
  EXPECT_TRUE(QColor::isValidColorName(s.raw.at("plist_Bar")[10]));
  EXPECT_EQ(s.raw.at("title_win").size(), 7);
  EXPECT_TRUE(QColor::isValidColorName(s.raw.at("title_win")[6]));
  EXPECT_TRUE(s.winEnabled);
}

TEST(Skin, FixedGeometryTheWindowReliesOn) {
  const Skin &s = skin();
  // Vertical background at the top of the sheet, full screen.
  EXPECT_EQ(s.mwinY, 0);
  EXPECT_EQ(s.mwinH, 320);
  EXPECT_GE(s.sheet.height(), 320);
  EXPECT_GE(s.sheet.width(), 240);

  // Volume: 68 wide so the live update's 54-pixel travel and 2-pixel inset fit the knob.
  EXPECT_EQ(s.f("VL_BTN", 2), 68);
  EXPECT_LE(2 + 54 + s.knob("VL_BTN").width(), 68);
  EXPECT_LE(s.knob("VL_BTN").height(), s.f("VL_BTN", 3));
  const int hTrack = s.f("H_VL_BTN", 3) - 16;
  EXPECT_GT(hTrack, 20);
  EXPECT_LE(hTrack + s.knob("H_VL_BTN").height(), s.f("H_VL_BTN", 3));

  // Playlist: bar at 179, 120 high; a 20-pixel knob travels 0..100; six 20-pixel lines.
  EXPECT_EQ(s.f("plist_Bar", 1), 179);
  EXPECT_EQ(s.f("plist_Bar", 3), 120);
  EXPECT_EQ(s.knob("plist_Bar").height(), 20);
  EXPECT_LE(1 + s.knob("plist_Bar").width(), s.f("plist_Bar", 2));
  // Lines are 210 wide from x 10; the bar must sit right of them, or taps on lines would grab it.
  EXPECT_GE(s.f("plist_Bar", 0), 10 + 210 - 1);
  EXPECT_LE(s.f("plist_Bar", 0) + s.f("plist_Bar", 2), 240);
  // Every line copies its background from the sheet at (10, bar y + 10): that must match the
  // panel under each of the six lines, or lines would show seams.
  const QImage lineBg = s.sheet.copy(10, 179 + 10, 210, 14);
  for (int r = 0; r < 6; ++r)
    EXPECT_EQ(s.sheet.copy(10, 179 + 20 * r, 210, 14), lineBg) << "line " << r;
  EXPECT_EQ(s.f("plistwin", 5), s.f("plistwin", 1)) << "playlist panel comes with the background";

  // Panel strips are full width and cover the same area.
  for (const char *k : {"plistwin", "lrcwin", "eqwin"}) {
    EXPECT_EQ(s.f(k, 1), s.f("plistwin", 1)) << k;
    EXPECT_EQ(s.f(k, 3), s.f("plistwin", 3)) << k;
    EXPECT_TRUE(inside(s.sheet, QRect(0, s.f(k, 5), 240, s.f(k, 3)))) << k;
  }
  EXPECT_EQ(s.f("plistwin", 1) + s.f("plistwin", 3), 320);

  // The mini lyrics strip, 240 x 23 at (0, 463), belongs to no element.
  const QRect lyricsStrip(0, 463, 240, 23);
  EXPECT_TRUE(inside(s.sheet, lyricsStrip));
  for (const char *k : verticalKeys)
    if (std::string(k) != "lrcwin" && std::string(k) != "eqwin" &&
        std::string(k) != "lrcwin_show") {
      EXPECT_FALSE(s.pic(k).intersects(lyricsStrip)) << k;
    }
  for (const char *k : {"lrcwin", "eqwin"})
    EXPECT_FALSE(QRect(0, s.f(k, 5), 240, s.f(k, 3)).intersects(lyricsStrip)) << k;

  // Equalizer: columns fit the 12 x 81 buffer, level pictures (14 per row, two rows) on the
  // sheet, knob inside a column, preamp at the fixed touch zone x 23..33 with the same centre.
  const int w = s.f("EQ", 2), h = s.f("EQ", 3);
  EXPECT_LE(w, 12);
  EXPECT_LE(h, 81);
  EXPECT_TRUE(inside(s.sheet, QRect(s.f("EQ", 4), s.f("EQ", 5), 14 * w, 2 * h)));
  EXPECT_LE(1 + s.knob("EQ").width(), w);
  EXPECT_GE(h / 2 - s.knob("EQ").height() / 2 - 25, 0);
  EXPECT_LE(h / 2 - s.knob("EQ").height() / 2 + 25 + s.knob("EQ").height(), h);
  EXPECT_GE(s.f("EQ", 10), w);
  EXPECT_LE(s.f("EQ", 0) + 9 * s.f("EQ", 10) + w, 240);
  EXPECT_GT(s.f("EQ", 0), 33) << "bands must start right of the preamp zone";
  EXPECT_LE(s.f("EQ_Preamp", 0), 23);
  EXPECT_GE(s.f("EQ_Preamp", 0) + s.f("EQ_Preamp", 2), 34);
  EXPECT_LE(2 + s.knob("EQ").width(), s.f("EQ_Preamp", 2));
  EXPECT_EQ(s.f("EQ_Preamp", 1) + s.f("EQ_Preamp", 3) / 2, s.f("EQ", 1) + h / 2);

  // Curve: nine 12-pixel segments from row 10 - e, |e| <= 8; fields 6, 7 are the buffer size
  // and the colour column whose row 7 is the zero level.
  const int cx = s.f("eqalzr_win", 6), cy = s.f("eqalzr_win", 7);
  EXPECT_GE(s.f("eqalzr_win", 2), 108);
  EXPECT_GE(s.f("eqalzr_win", 3), 19);
  EXPECT_GE(cx, 108);
  EXPECT_GE(cy, 19);
  EXPECT_TRUE(inside(s.sheet, QRect(cx, cy - 8, 1, 17)));

  // Time: glyphs 0-9 and the separator side by side; horizontal buffer holds five glyphs.
  const int gw = s.f("time_win", 2), gh = s.f("time_win", 3);
  EXPECT_TRUE(inside(s.sheet, QRect(s.f("time_win", 4), s.f("time_win", 5), 11 * gw, gh)));
  EXPECT_EQ(s.f("time_win", 6), 5 * gw);
  EXPECT_EQ(s.f("time_win", 7), gh);
  for (int d = 0; d < 11; ++d)
    for (int e = d + 1; e < 11; ++e)
      EXPECT_GT(difference(s.sheet, QRect(s.f("time_win", 4) + d * gw, s.f("time_win", 5), gw, gh),
                           QRect(s.f("time_win", 4) + e * gw, s.f("time_win", 5), gw, gh)),
                0.03)
          << "glyphs " << d << " and " << e;
  EXPECT_LE(5 * gw + s.f("time_win", 0), 240);
  // Horizontal time (f7 x f6 at (40, 10)) and title (h x w at (21, 112)) stay on screen.
  EXPECT_LE(40 + gh, 240);
  EXPECT_LE(10 + 5 * gw, 320);
  EXPECT_LE(112 + s.f("title_win", 2), 320);
  EXPECT_LE(21 + s.f("title_win", 3), 240);

  // Position bar: the knob hit zone (knob x + 10 .. + 38) lines up with the drawn knob only
  // when the bar starts at x 10.
  EXPECT_EQ(s.f("posbar", 0), 10);
  EXPECT_GE(s.knob("posbar").width(), 29);
  EXPECT_LE(1 + s.knob("posbar").height(), s.f("posbar", 3));
  EXPECT_EQ(s.knob("H_posbar").height(), 30);
  EXPECT_LE(1 + s.knob("H_posbar").width(), s.f("H_posbar", 2));

  // Lyrics: the tap band lies inside the lyrics text area.
  const int bandMid = s.f("lrcwin", 1) + s.f("lrcwin", 3) / 2;
  EXPECT_TRUE(s.screen("lrcwin_show").contains(QRect(21, bandMid - 19, 179, 39)));
  // The colour swatches (12 x 12, right of "color_BTN") stay on screen.
  EXPECT_LE(s.f("color_BTN", 0) + s.f("color_BTN", 2) + 27 + 12, 240);
}

TEST(Skin, TouchZonesThatMustStayFreeAndControlsApart) {
  const Skin &s = skin();
  const QRect menuZone(3, 1, 57, 29), inertZone(25, 45, 75, 14);
  for (const auto &[key, panel] : verticalControls) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(anyHitIn(s.screen(key.c_str()), menuZone));
    EXPECT_FALSE(anyHitIn(s.screen(key.c_str()), inertZone));
    for (const auto &[other, otherPanel] : verticalControls)
      if (key < other && (panel == 0 || otherPanel == 0 || panel == otherPanel)) {
        EXPECT_FALSE(s.screen(key.c_str()).intersects(s.screen(other.c_str()))) << other;
      }
  }
  // The playlist lines zone (x 11..209, inside the bar's rows) holds no control of its panel.
  const QRect lines(11, 180, 199, 118);
  for (const auto &[key, panel] : verticalControls)
    if (panel <= 1) {
      EXPECT_FALSE(anyHitIn(s.screen(key.c_str()), lines)) << key;
    }
  // Horizontal controls lie on one of the two panel strips and do not overlap.
  const char *hControls[] = {"H_pos_A",    "H_pos_B",   "H_prev",    "H_play",
                             "H_stop",     "H_next",    "H_posbar",  "H_VL_BTN",
                             "H_exit_win", "V_win_btn", "H_mini_win"};
  for (const char *k : hControls) {
    EXPECT_TRUE(s.screen("H_WIN_T").contains(s.screen(k)) ||
                s.screen("H_WIN_B").contains(s.screen(k)))
        << k;
    for (const char *o : hControls)
      if (std::string(k) < o) {
        EXPECT_FALSE(s.screen(k).intersects(s.screen(o))) << k << " " << o;
      }
  }
  // Horizontal lyrics tap band (x 91..149) stays clear of controls.
  for (const char *k : hControls)
    EXPECT_FALSE(anyHitIn(s.screen(k), QRect(91, 1, 59, 319))) << k;

  // Mini mode: pictures at their source rectangles, window drag strip (x 81..159) free.
  ASSERT_FALSE(s.miniBtn.isNull());
  EXPECT_GE(s.miniBtn.width(), 186);
  EXPECT_GE(s.miniBtn.height(), 78);
  EXPECT_EQ(s.miniMain.size(), QSize(240, 25));
  const QRect buttons[] = {{5, 3, 20, 20},   {26, 3, 21, 20},  {47, 3, 20, 20},
                           {180, 0, 20, 18}, {200, 0, 20, 18}, {220, 0, 20, 18}};
  for (const QRect &b : buttons)
    EXPECT_FALSE(b.intersects(QRect(81, 0, 79, 25)));
}

TEST(Skin, MiniPicturesAndMasks) {
  const Skin &s = skin();
  // Normal and pressed transport pictures differ; play and pause differ.
  struct R {
    int x, w;
  } transport[] = {{0, 21}, {21, 21}, {42, 20}, {62, 20}};
  for (const R &r : transport)
    EXPECT_GT(difference(s.miniBtn, QRect(r.x, 0, r.w, 20), QRect(r.x, 20, r.w, 20)), 0.05) << r.x;
  EXPECT_GT(difference(s.miniBtn, QRect(0, 0, 21, 20), QRect(21, 0, 21, 20)), 0.05);
  // Pressed small buttons: (0,60) is the restore button's, (20,60) the one at x 180.
  EXPECT_GT(difference(s.miniBtn, QRect(20, 40, 20, 18), QRect(0, 60, 20, 18)), 0.0);
  EXPECT_GT(difference(s.miniBtn, QRect(0, 40, 20, 18), QRect(20, 60, 20, 18)), 0.0);
  EXPECT_GT(difference(s.miniBtn, QRect(40, 40, 20, 18), QRect(40, 60, 20, 18)), 0.05);
  // Each picture carries the background of the place it is drawn: its corner matches there.
  EXPECT_EQ(s.miniBtn.pixel(0, 60), s.miniMain.pixel(200, 0));
  EXPECT_EQ(s.miniBtn.pixel(20, 60), s.miniMain.pixel(180, 0));
  EXPECT_EQ(s.miniBtn.pixel(42, 20), s.miniMain.pixel(5, 3));
  // Digits differ from each other.
  for (int d = 1; d < 10; ++d)
    EXPECT_GT(difference(s.miniBtn, QRect(82, 0, 10, 16), QRect(82 + 10 * d, 0, 10, 16)), 0.05);

  // Masks: 1-bit shapes of the 240 x 48 mini window; without lyrics only the top strip shows.
  const QBitmap mask = QBitmap::fromImage(s.mask), maskD = QBitmap::fromImage(s.maskD);
  ASSERT_EQ(mask.size(), QSize(240, 48));
  ASSERT_EQ(maskD.size(), QSize(240, 48));
  const QImage m = mask.toImage().convertToFormat(QImage::Format_RGB32);
  const QImage md = maskD.toImage().convertToFormat(QImage::Format_RGB32);
  auto shown = [](const QImage &img, int x, int y) { return qGray(img.pixel(x, y)) < 128; };
  EXPECT_TRUE(shown(m, 120, 12));
  EXPECT_TRUE(shown(m, 120, 24));
  EXPECT_FALSE(shown(m, 120, 25));
  EXPECT_FALSE(shown(m, 120, 40));
  EXPECT_TRUE(shown(md, 120, 12));
  EXPECT_TRUE(shown(md, 120, 40));
  EXPECT_FALSE(shown(m, 0, 0)) << "rounded corner";
  for (int x = 0; x < 240; x += 7)
    EXPECT_TRUE(shown(md, x, 24)) << "the whole strip shows, buttons included, at x " << x;
  ASSERT_EQ(s.wallpaper.size(), QSize(320, 240));
}

TEST(Skin, ControlStatesAreDistinctAndPicturesDoNotOverlap) {
  const Skin &s = skin();
  for (const char *k : pushKeys)
    EXPECT_GT(difference(s.sheet, s.pic(k), s.pic(k).translated(0, s.f(k, 3))), 0.05) << k;
  for (const char *k : toggleKeys)
    EXPECT_GT(difference(s.sheet, s.pic(k), s.pic(k).translated(0, s.f(k, 3))), 0.2) << k;
  const QRect play = s.pic("play");
  EXPECT_GT(difference(s.sheet, play, play.translated(play.width(), 0)), 0.05);
  EXPECT_GT(difference(s.sheet, play, play.translated(0, play.height())), 0.05);
  const QRect hplay = s.pic("H_play");
  EXPECT_GT(difference(s.sheet, hplay, hplay.translated(0, -hplay.height())), 0.05);
  for (const char *k : {"H_prev", "H_play", "H_stop", "H_next", "H_exit_win", "V_win_btn",
                        "H_mini_win", "H_pos_A", "H_pos_B"})
    EXPECT_GT(difference(s.sheet, s.pic(k), s.pic(k).translated(s.f(k, 2), 0)), 0.05) << k;
  for (const char *k : {"posbar", "plist_Bar", "VL_BTN"})
    EXPECT_GT(difference(s.sheet, s.knob(k), s.knob(k).translated(0, s.knob(k).height())), 0.05)
        << k;
  const QRect st = s.pic("play_display_win");
  EXPECT_GT(difference(s.sheet, st, st.translated(0, st.height())), 0.05);
  EXPECT_GT(difference(s.sheet, st, st.translated(0, 2 * st.height())), 0.05);
  // Equalizer levels: the picture for every step differs from its neighbour.
  const int w = s.f("EQ", 2), h = s.f("EQ", 3), ex = s.f("EQ", 4), ey = s.f("EQ", 5);
  for (int i = 1; i < 13; ++i) {
    EXPECT_GT(difference(s.sheet, QRect(ex + i * w, ey, w, h), QRect(ex + (i + 1) * w, ey, w, h)),
              0);
    EXPECT_GT(
        difference(s.sheet, QRect(ex + (i - 1) * w, ey + h, w, h), QRect(ex + i * w, ey + h, w, h)),
        0);
  }
  // Zero level of the curve colour column differs from the curve background.
  EXPECT_NE(s.sheet.pixel(s.f("eqalzr_win", 6), s.f("eqalzr_win", 7)),
            s.sheet.pixel(s.f("eqalzr_win", 4) + 50, s.f("eqalzr_win", 5) + 10));

  // No two pictures share sheet pixels (the background, its strips and views into them aside).
  std::vector<std::pair<std::string, QRect>> owned;
  auto add = [&](const std::string &k, const QRect &r) { owned.push_back({k, r}); };
  add("background", QRect(0, 0, 240, 320));
  add("lrcwin", QRect(0, s.f("lrcwin", 5), 240, s.f("lrcwin", 3)));
  add("eqwin", QRect(0, s.f("eqwin", 5), 240, s.f("eqwin", 3)));
  add("mini lyrics", QRect(0, 463, 240, 23));
  for (const char *k : pushKeys)
    add(k, s.pic(k).adjusted(0, 0, 0, s.f(k, 3)));
  for (const char *k : toggleKeys)
    add(k, s.pic(k).adjusted(0, 0, 0, s.f(k, 3)));
  add("play", play.adjusted(0, 0, play.width(), play.height()));
  add("color_BTN", s.pic("color_BTN"));
  add("EQ", QRect(ex, ey, 14 * w, 2 * h));
  add("EQ_Preamp", s.pic("EQ_Preamp"));
  add("title_win", s.pic("title_win"));
  add("time_win",
      QRect(s.f("time_win", 4), s.f("time_win", 5), 11 * s.f("time_win", 2), s.f("time_win", 3)));
  add("play_display_win", st.adjusted(0, 0, 0, 2 * st.height()));
  add("eqalzr_win", s.pic("eqalzr_win"));
  add("curve colours", QRect(s.f("eqalzr_win", 6), s.f("eqalzr_win", 7) - 8, 1, 17));
  add("plist_Bar", s.pic("plist_Bar"));
  add("VL_BTN", s.pic("VL_BTN"));
  for (const char *k : {"posbar", "plist_Bar", "VL_BTN", "EQ"})
    add(std::string(k) + " knob", s.knob(k).adjusted(0, 0, 0, s.knob(k).height()));
  for (const char *k : {"H_posbar", "H_VL_BTN"})
    add(std::string(k) + " knob", s.knob(k).adjusted(0, 0, s.knob(k).width(), s.knob(k).height()));
  for (const char *k : {"H_prev", "H_stop", "H_next", "H_exit_win", "V_win_btn", "H_mini_win",
                        "H_pos_A", "H_pos_B"})
    add(k, s.pic(k).adjusted(0, 0, s.f(k, 2), 0));
  add("H_play", hplay.adjusted(0, -hplay.height(), hplay.width(), 0));
  add("H_posbar", s.pic("H_posbar"));
  add("H_VL_BTN", s.pic("H_VL_BTN").adjusted(0, 0, 0, 4));
  add("H_WIN_T", s.pic("H_WIN_T"));
  add("H_WIN_B", s.pic("H_WIN_B"));
  for (size_t i = 0; i < owned.size(); ++i) {
    EXPECT_TRUE(inside(s.sheet, owned[i].second)) << owned[i].first;
    for (size_t j = i + 1; j < owned.size(); ++j)
      EXPECT_FALSE(owned[i].second.intersects(owned[j].second))
          << owned[i].first << " and " << owned[j].first;
  }
}
