// Checks the default skin against the geometry the main window takes for granted: the skins.conf
// is read with the real settings store, every element key is present and every picture it names
// lies inside the sheet, fixed places and sizes hold, touch zones that must stay free do, and the
// two pictures of each control really differ. With VELORA_SKIN_PREVIEW=<folder> it also saves
// the three window modes composed from the skin as the window composes them.
#include "kconfig.h"
#include "testenv.h"

#include <QBitmap>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QTransform>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

const char *const verticalKeys[] = {
    "prev",        "play",        "stop",        "next",          "pos_A",     "EQ",
    "pos_B",       "posbar",      "plistwin",    "lrcwin",        "eqwin",     "btn_plistwin",
    "btn_lrcwin",  "btn_eqwin",   "OP_BTN",      "EQE_BTN",       "plist_Bar", "audio3d_btn",
    "bassbooster", "exit_win",    "H_win",       "mini_win",      "shuf_BTN",  "repeat_BTN",
    "plist_BTN",   "VL_BTN",      "showlrc_BTN", "textcodec_BTN", "font_BTN",  "color_BTN",
    "presets_BTN", "EQ_BTN_ZERO", "EQ_Preamp",   "title_win",     "time_win",  "play_display_win",
    "eqalzr_win",  "lrcwin_show"};
const char *const horizontalKeys[] = {"H_pos_A",    "H_pos_B",   "H_prev",    "H_play",  "H_stop",
                                      "H_next",     "H_posbar",  "H_VL_BTN",  "H_WIN_T", "H_WIN_B",
                                      "H_exit_win", "V_win_btn", "H_mini_win"};

// Vertical controls by the panel whose touch rules serve them (0 = always).
const std::map<std::string, int> verticalControls = {
    {"prev", 0},        {"play", 0},        {"stop", 0},          {"next", 0},
    {"pos_A", 0},       {"pos_B", 0},       {"posbar", 0},        {"btn_plistwin", 0},
    {"btn_lrcwin", 0},  {"btn_eqwin", 0},   {"audio3d_btn", 0},   {"bassbooster", 0},
    {"exit_win", 0},    {"H_win", 0},       {"mini_win", 0},      {"VL_BTN", 0},
    {"OP_BTN", 1},      {"plist_Bar", 1},   {"shuf_BTN", 1},      {"repeat_BTN", 1},
    {"plist_BTN", 1},   {"showlrc_BTN", 2}, {"textcodec_BTN", 2}, {"font_BTN", 2},
    {"presets_BTN", 3}, {"EQ_BTN_ZERO", 3}, {"EQE_BTN", 3}};
const char *const pushKeys[] = {"prev",        "stop",        "next",    "exit_win",
                                "H_win",       "mini_win",    "OP_BTN",  "plist_BTN",
                                "presets_BTN", "EQ_BTN_ZERO", "font_BTN"};
const char *const toggleKeys[] = {"pos_A",     "pos_B",      "btn_plistwin", "btn_lrcwin",
                                  "btn_eqwin", "EQE_BTN",    "audio3d_btn",  "bassbooster",
                                  "shuf_BTN",  "repeat_BTN", "showlrc_BTN",  "textcodec_BTN"};

std::string skinDir() { return velora::test::stageDir() + "/share/velora/skins/default"; }
QString skinFile(const char *name) { return QString::fromStdString(skinDir() + "/" + name); }

QGuiApplication *guiApp() {
  static int argc = 1;
  static char name[] = "skin_test";
  static char *argv[] = {name, nullptr};
  static QGuiApplication *app = new QGuiApplication(argc, argv);
  return app;
}

struct Skin {
  std::map<std::string, std::vector<int>> num;
  std::map<std::string, QStringList> raw;
  int mwinY = -1, mwinH = -1;
  bool winEnabled = false;
  QImage sheet, miniBtn, miniMain, mask, maskD, wallpaper;

  Skin() {
    KConfig cfg(skinFile("skins.conf"), true);
    cfg.setGroup("SKINS");
    auto read = [&](const char *key) {
      const QStringList list = cfg.readListEntry(key, ',');
      raw[key] = list;
      std::vector<int> v;
      for (const QString &f : list)
        v.push_back(f.toInt());
      num[key] = v;
    };
    for (const char *k : verticalKeys)
      read(k);
    for (const char *k : horizontalKeys)
      read(k);
    mwinY = cfg.readNumEntry("mwin_Y", -1);
    mwinH = cfg.readNumEntry("mwin_H", -1);
    winEnabled = cfg.readBoolEntry("win_enabled", false);
    sheet.load(skinFile("skins.png"));
    miniBtn.load(skinFile("mini_btn.png"));
    miniMain.load(skinFile("mini_main.png"));
    mask.load(skinFile("mask.png"));
    maskD.load(skinFile("mask_d.png"));
    wallpaper.load(skinFile("wallpaper.png"));
  }
  int f(const char *key, int i) const {
    const auto &v = num.at(key);
    return i < int(v.size()) ? v[i] : 0;
  }
  QRect screen(const char *key) const { return QRect(f(key, 0), f(key, 1), f(key, 2), f(key, 3)); }
  QRect pic(const char *key) const { return QRect(f(key, 4), f(key, 5), f(key, 2), f(key, 3)); }
  QRect knob(const char *key) const { return QRect(f(key, 6), f(key, 7), f(key, 8), f(key, 9)); }
};

const Skin &skin() {
  guiApp();
  static Skin s;
  return s;
}

bool inside(const QImage &img, const QRect &r) {
  return r.width() > 0 && r.height() > 0 && QRect(QPoint(0, 0), img.size()).contains(r);
}

// Strict hit test of the window: border pixels do not hit.
bool hits(const QRect &e, int x, int y) {
  return e.x() < x && x < e.x() + e.width() && e.y() < y && y < e.y() + e.height();
}
bool anyHitIn(const QRect &e, const QRect &zone) {
  for (int y = zone.top(); y <= zone.bottom(); ++y)
    for (int x = zone.left(); x <= zone.right(); ++x)
      if (hits(e, x, y))
        return true;
  return false;
}

// Share of differing pixels between two sheet rectangles.
double difference(const QImage &img, const QRect &a, const QRect &b) {
  const QImage ia = img.copy(a), ib = img.copy(b);
  int differing = 0;
  for (int y = 0; y < ia.height(); ++y)
    for (int x = 0; x < ia.width(); ++x)
      if (ia.pixel(x, y) != ib.pixel(x, y))
        ++differing;
  return double(differing) / (ia.width() * ia.height());
}

void copy(QPainter &p, const QImage &src, const QRect &from, QPoint to) {
  p.drawImage(to, src, from);
}

} // namespace

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

// Composes the three window modes by the window's own copy rules; saved for a person to look at
// when VELORA_SKIN_PREVIEW names a folder.
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
