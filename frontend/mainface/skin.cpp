// Skin loading and switching: the element table from skins.conf, derived values, panel flags,
// skin-dependent buffers, and the skin menu.
#include "mainface.h"

#include "kconfig.h"
#include "logical.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>

const QStringList &MainFace::verticalKeys() {
  static const QStringList keys = {
      "prev",        "play",        "stop",        "next",          "pos_A",     "EQ",
      "pos_B",       "posbar",      "plistwin",    "lrcwin",        "eqwin",     "btn_plistwin",
      "btn_lrcwin",  "btn_eqwin",   "OP_BTN",      "EQE_BTN",       "plist_Bar", "audio3d_btn",
      "bassbooster", "exit_win",    "H_win",       "mini_win",      "shuf_BTN",  "repeat_BTN",
      "plist_BTN",   "VL_BTN",      "showlrc_BTN", "textcodec_BTN", "font_BTN",  "color_BTN",
      "presets_BTN", "EQ_BTN_ZERO", "EQ_Preamp",   "title_win",     "time_win",  "play_display_win",
      "eqalzr_win",  "lrcwin_show"};
  return keys;
}

const QStringList &MainFace::horizontalKeys() {
  static const QStringList keys = {"H_pos_A",    "H_pos_B",   "H_prev",    "H_play",  "H_stop",
                                   "H_next",     "H_posbar",  "H_VL_BTN",  "H_WIN_T", "H_WIN_B",
                                   "H_exit_win", "V_win_btn", "H_mini_win"};
  return keys;
}

SkinElement *MainFace::element(const QString &key) {
  static const struct {
    const char *key;
    SkinElement MainFace::*member;
  } table[] = {
      {"prev", &MainFace::prev},
      {"play", &MainFace::play},
      {"stop", &MainFace::stop},
      {"next", &MainFace::next},
      {"posbar", &MainFace::posbar},
      {"pos_A", &MainFace::pos_A},
      {"pos_B", &MainFace::pos_B},
      {"EQ", &MainFace::EQ},
      {"plistwin", &MainFace::plistwin},
      {"lrcwin", &MainFace::lrcwin},
      {"eqwin", &MainFace::eqwin},
      {"btn_plistwin", &MainFace::btn_plistwin},
      {"btn_lrcwin", &MainFace::btn_lrcwin},
      {"btn_eqwin", &MainFace::btn_eqwin},
      {"EQE_BTN", &MainFace::EQE_BTN},
      {"plist_Bar", &MainFace::plist_Bar},
      {"audio3d_btn", &MainFace::audio3d_btn},
      {"bassbooster", &MainFace::bassbooster},
      {"exit_win", &MainFace::exit_win},
      {"H_win", &MainFace::H_win},
      {"mini_win", &MainFace::mini_win},
      {"OP_BTN", &MainFace::OP_BTN},
      {"shuf_BTN", &MainFace::shuf_BTN},
      {"repeat_BTN", &MainFace::repeat_BTN},
      {"plist_BTN", &MainFace::plist_BTN},
      {"VL_BTN", &MainFace::VL_BTN},
      {"showlrc_BTN", &MainFace::showlrc_BTN},
      {"textcodec_BTN", &MainFace::textcodec_BTN},
      {"font_BTN", &MainFace::font_BTN},
      {"color_BTN", &MainFace::color_BTN},
      {"presets_BTN", &MainFace::presets_BTN},
      {"EQ_BTN_ZERO", &MainFace::EQ_BTN_ZERO},
      {"EQ_Preamp", &MainFace::EQ_Preamp},
      {"H_pos_A", &MainFace::H_pos_A},
      {"H_pos_B", &MainFace::H_pos_B},
      {"H_prev", &MainFace::H_prev},
      {"H_play", &MainFace::H_play},
      {"H_stop", &MainFace::H_stop},
      {"H_next", &MainFace::H_next},
      {"H_posbar", &MainFace::H_posbar},
      {"H_VL_BTN", &MainFace::H_VL_BTN},
      {"H_WIN_T", &MainFace::H_WIN_T},
      {"H_WIN_B", &MainFace::H_WIN_B},
      {"H_exit_win", &MainFace::H_exit_win},
      {"V_win_btn", &MainFace::V_win_btn},
      {"H_mini_win", &MainFace::H_mini_win},
      {"title_win", &MainFace::title_win},
      {"time_win", &MainFace::time_win},
      {"play_display_win", &MainFace::play_display_win},
      {"eqalzr_win", &MainFace::eqalzr_win},
      {"lrcwin_show", &MainFace::lrcwin_show},
  };
  for (const auto &entry : table)
    if (key == QLatin1String(entry.key))
      return &(this->*entry.member);
  return nullptr;
}

void MainFace::loadSkin(const QString &sheet) {
  sheetPath = sheet;
  KConfig conf(baseDir + "/skins/" + skinName + "/skins.conf", true);
  conf.setGroup("SKINS");
  for (const QString &key : verticalKeys())
    *element(key) = conf.readListEntry(key, QLatin1Char(','));
  mwinY = conf.readNumEntry("mwin_Y", 0);
  mwinH = conf.readNumEntry("mwin_H", 0);
  eqCentreY = EQ.field(1) + EQ.field(3) / 2;
  for (const QString &key : horizontalKeys())
    *element(key) = conf.readListEntry(key, QLatin1Char(','));

  winEnabled = conf.readBoolEntry("win_enabled", true);
  playlistPanelShown = true;
  lyricsPanelShown = false;
  equalizerPanelShown = !winEnabled;

  hVolumeTrack = H_VL_BTN.field(3) - 16;
  volumeTrack = VL_BTN.field(2) - 14;

  titleFontFamily = QStringLiteral("SSong");
  // Font sizes are pixel sizes: the skin's boxes are pixel rectangles, and a point size would
  // grow the text past them on a denser screen.
  titleFont = QFont(titleFontFamily);
  titleFont.setPixelSize(10);

  placeColourButtons();
  hideColourButtons();
  loadSkinColours(conf);

  makeImages(frame.devicePixelRatio());
  if (skinPixmap.isNull()) {
    qWarning("velora: the skin has no readable sheet %s", qPrintable(sheetPath));
    // Nothing of the previous skin may stay on screen: the window shows black until a skin
    // with a sheet is chosen.
    frame.fill(Qt::black);
    update();
  }
  titlePen = QColor(title_win.text(6));
  playlistLinePen = QColor(plist_Bar.text(10));

  positionPercent = -1;
  lastDrawnA = -1;
  lastDrawnB = -1;
}

void MainFace::makeImages(qreal ratio) {
  // The sheet first, and the old one let go before: at 3x it is read at four bytes a pixel (some
  // 20 MiB) before it is packed, and that moment is the window's peak, so it comes before the
  // frame and the other images of the new density exist.
  skinPixmap = QImage();
  // The horizontal mode's composition image waits until that mode is drawn: at 3x it is some
  // 3 MiB that a window in another mode never uses.
  rotatePixmap = QImage();
  wallpaperPixmap = QImage();
  wallpaperLoaded = false;
  miniButtonsPixmap = miniMainPixmap = QImage();
  miniPicturesLoaded = false;
  if (!sheetPath.isEmpty())
    skinPixmap = loadDensePicture(sheetPath, ratio);
  if (frame.devicePixelRatio() != ratio || frame.isNull()) {
    QImage dense = logicalImage(kLogicalWidth, kLogicalHeight, ratio);
    if (!dense.isNull())
      frame = dense;
  }
  titlePixmap = logicalImage(title_win.w(), title_win.h(), ratio);
  timePixmap = logicalImage(time_win.field(6), time_win.field(7), ratio);
  eqCurvePixmap = logicalImage(eqalzr_win.field(6), eqalzr_win.field(7), ratio);
  posbarPixmap = logicalImage(posbar.w(), posbar.h(), ratio);
  hPosbarPixmap = logicalImage(H_posbar.w(), H_posbar.h(), ratio);
  lyricsPixmap = logicalImage(lrcwin_show.w(), lrcwin_show.h(), ratio);
  eqKnobPixmap = logicalImage(12, 81, ratio);
  playlistLinePixmap = logicalImage(220, 15, ratio);
  if (windowMode == HorizontalMode)
    makeHorizontalImages();
  if (windowMode == MiniMode)
    makeMiniImages();

  for (int n = 1; n <= 3; ++n) {
    decorationLeft[n - 1] =
        loadDensePicture(skinDir() + "/xmaslights_l" + QString::number(n) + ".png", ratio);
    decorationRight[n - 1] =
        loadDensePicture(skinDir() + "/xmaslights_r" + QString::number(n) + ".png", ratio);
  }
}

QStringList MainFace::skinFolders(const QString &home) {
  QDir dir(home + "/skins");
  QStringList names =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  return names;
}

void MainFace::selectMenumskin(int id) {
  if (id == 0)
    return;
  QString name = skinMenu ? skinMenu->text(id) : QString();
  if (name.isEmpty())
    return; // no such entry
  skinName = name;
  loadSkin(baseDir + "/skins/" + skinName + "/skins.png");
  {
    KConfig settings(baseDir + "/.xmms/pelmar_cfg");
    settings.setGroup("pelskin");
    settings.writeEntry("CurrentSkin", QString::fromLatin1(skinName.toUtf8()));
    settings.sync();
  }
  repaintAll();
}

namespace {

// Copies source/name to target/name under a temporary name and renames it, so an interrupted
// copy never looks complete. Returns whether the file is there now.
bool copySkinFile(const QString &source, const QString &target, const QString &name) {
  const QString to = target + "/" + name;
  const QString temp = target + "/." + name + ".part";
  QFile::remove(temp);
  if (QFile::copy(source + "/" + name, temp) && QFile::rename(temp, to)) {
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                  QFile::ReadOther);
    return true;
  }
  QFile::remove(temp);
  qWarning("velora: cannot install the default skin file %s", qPrintable(to));
  return false;
}

bool sameContents(const QString &a, const QString &b) {
  QFile fa(a), fb(b);
  if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
    return false;
  return fa.readAll() == fb.readAll();
}

} // namespace

bool MainFace::installDefaultSkin(const QString &home, const QString &shareDir) {
  const QString source = shareDir + "/skins/default";
  const QString target = home + "/skins/default";
  if (!QFileInfo::exists(source + "/skins.conf"))
    return false;
  if (QFileInfo::exists(target + "/skins.conf")) {
    addDensitySheets(home, shareDir);
    return false;
  }
  if (!QDir().mkpath(target)) {
    qWarning("velora: cannot create %s", qPrintable(target));
    return false;
  }
  bool copied = false;
  const QStringList files = QDir(source).entryList(QDir::Files | QDir::Hidden);
  for (const QString &name : files) {
    if (QFileInfo::exists(target + "/" + name))
      continue; // the user's own file stays
    copied = copySkinFile(source, target, name) || copied;
  }
  return copied;
}

int MainFace::addDensitySheets(const QString &home, const QString &shareDir) {
  const QString source = shareDir + "/skins/default";
  const QString target = home + "/skins/default";
  if (!QFileInfo::exists(target + "/skins.conf"))
    return 0;
  static const QRegularExpression dense(QStringLiteral("^(.+)@[23]x(\\.[^.]+)$"));
  int added = 0;
  const QStringList files = QDir(source).entryList(QDir::Files);
  for (const QString &name : files) {
    const QRegularExpressionMatch m = dense.match(name);
    if (!m.hasMatch() || QFileInfo::exists(target + "/" + name))
      continue;
    // Only beside the very picture it was drawn from: a sheet the user repainted keeps being
    // shown as painted, enlarged, rather than replaced by the shipped one at a higher density.
    const QString plain = m.captured(1) + m.captured(2);
    if (!sameContents(source + "/" + plain, target + "/" + plain))
      continue;
    if (copySkinFile(source, target, name))
      ++added;
  }
  return added;
}

void MainFace::makeHorizontalImages() {
  const qreal ratio = frame.devicePixelRatio();
  if (rotatePixmap.isNull())
    rotatePixmap = logicalImage(kLogicalHeight, kLogicalWidth, ratio);
  if (!wallpaperLoaded) {
    wallpaperLoaded = true;
    // The wallpaper is a soft background behind the horizontal mode: its 2x picture, enlarged
    // smoothly, serves a 3x screen as well and takes half the memory of the 3x one.
    wallpaperPixmap =
        wallpaperPath.isEmpty() ? QImage() : loadDensePicture(wallpaperPath, std::min(ratio, 2.0));
  }
}

void MainFace::makeMiniImages() {
  if (miniPicturesLoaded)
    return;
  miniPicturesLoaded = true;
  const qreal ratio = frame.devicePixelRatio();
  miniButtonsPixmap = loadDensePicture(skinDir() + "/mini_btn.png", ratio);
  miniMainPixmap = loadDensePicture(skinDir() + "/mini_main.png", ratio);
}
