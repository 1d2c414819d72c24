// The default skin as the window reads it, shared by the skin's checks: its element keys, the
// numbers and raw fields of each, the sheets, and small helpers for hit tests and picture copies.
#pragma once

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

namespace skintest {

inline const char *const verticalKeys[] = {
    "prev",        "play",        "stop",        "next",          "pos_A",     "EQ",
    "pos_B",       "posbar",      "plistwin",    "lrcwin",        "eqwin",     "btn_plistwin",
    "btn_lrcwin",  "btn_eqwin",   "OP_BTN",      "EQE_BTN",       "plist_Bar", "audio3d_btn",
    "bassbooster", "exit_win",    "H_win",       "mini_win",      "shuf_BTN",  "repeat_BTN",
    "plist_BTN",   "VL_BTN",      "showlrc_BTN", "textcodec_BTN", "font_BTN",  "color_BTN",
    "presets_BTN", "EQ_BTN_ZERO", "EQ_Preamp",   "title_win",     "time_win",  "play_display_win",
    "eqalzr_win",  "lrcwin_show"};
inline const char *const horizontalKeys[] = {
    "H_pos_A",  "H_pos_B", "H_prev",  "H_play",     "H_stop",    "H_next",    "H_posbar",
    "H_VL_BTN", "H_WIN_T", "H_WIN_B", "H_exit_win", "V_win_btn", "H_mini_win"};

// Vertical controls by the panel whose touch rules serve them (0 = always).
inline const std::map<std::string, int> verticalControls = {
    {"prev", 0},        {"play", 0},        {"stop", 0},          {"next", 0},
    {"pos_A", 0},       {"pos_B", 0},       {"posbar", 0},        {"btn_plistwin", 0},
    {"btn_lrcwin", 0},  {"btn_eqwin", 0},   {"audio3d_btn", 0},   {"bassbooster", 0},
    {"exit_win", 0},    {"H_win", 0},       {"mini_win", 0},      {"VL_BTN", 0},
    {"OP_BTN", 1},      {"plist_Bar", 1},   {"shuf_BTN", 1},      {"repeat_BTN", 1},
    {"plist_BTN", 1},   {"showlrc_BTN", 2}, {"textcodec_BTN", 2}, {"font_BTN", 2},
    {"presets_BTN", 3}, {"EQ_BTN_ZERO", 3}, {"EQE_BTN", 3}};
inline const char *const pushKeys[] = {"prev",        "stop",        "next",    "exit_win",
                                       "H_win",       "mini_win",    "OP_BTN",  "plist_BTN",
                                       "presets_BTN", "EQ_BTN_ZERO", "font_BTN"};
inline const char *const toggleKeys[] = {
    "pos_A",       "pos_B",       "btn_plistwin", "btn_lrcwin", "btn_eqwin",   "EQE_BTN",
    "audio3d_btn", "bassbooster", "shuf_BTN",     "repeat_BTN", "showlrc_BTN", "textcodec_BTN"};

inline std::string skinDir() { return velora::test::stageDir() + "/share/velora/skins/default"; }
inline QString skinFile(const char *name) { return QString::fromStdString(skinDir() + "/" + name); }

inline QGuiApplication *guiApp() {
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

inline const Skin &skin() {
  guiApp();
  static Skin s;
  return s;
}

inline bool inside(const QImage &img, const QRect &r) {
  return r.width() > 0 && r.height() > 0 && QRect(QPoint(0, 0), img.size()).contains(r);
}

// Strict hit test of the window: border pixels do not hit.
inline bool hits(const QRect &e, int x, int y) {
  return e.x() < x && x < e.x() + e.width() && e.y() < y && y < e.y() + e.height();
}
inline bool anyHitIn(const QRect &e, const QRect &zone) {
  for (int y = zone.top(); y <= zone.bottom(); ++y)
    for (int x = zone.left(); x <= zone.right(); ++x)
      if (hits(e, x, y))
        return true;
  return false;
}

// Share of differing pixels between two sheet rectangles.
inline double difference(const QImage &img, const QRect &a, const QRect &b) {
  const QImage ia = img.copy(a), ib = img.copy(b);
  int differing = 0;
  for (int y = 0; y < ia.height(); ++y)
    for (int x = 0; x < ia.width(); ++x)
      if (ia.pixel(x, y) != ib.pixel(x, y))
        ++differing;
  return double(differing) / (ia.width() * ia.height());
}

inline void copy(QPainter &p, const QImage &src, const QRect &from, QPoint to) {
  p.drawImage(to, src, from);
}

} // namespace skintest
