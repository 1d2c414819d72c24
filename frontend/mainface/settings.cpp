// Settings kept between runs: the settings load and the menu entries that write single keys.
#include "mainface.h"

#include "kconfig.h"
#include "xmmsPlayer.h"

namespace {
struct FontEntry {
  int id, size, lineHeight;
};
const FontEntry kFontEntries[] = {{1, 14, 20}, {2, 16, 24}, {3, 18, 28}, {4, 21, 35}};

QColor parseColour(const QString &name) {
  QColor c(name); // Qt's named-colour parsing; a text that does not parse gives an invalid colour
  return c;
}
} // namespace

int MainFace::fontSizeForEntry(int id) {
  for (const FontEntry &e : kFontEntries)
    if (e.id == id)
      return e.size;
  return 0;
}

int MainFace::lineHeightForEntry(int id) {
  for (const FontEntry &e : kFontEntries)
    if (e.id == id)
      return e.lineHeight;
  return 0;
}

int MainFace::fontEntryForSize(int size) {
  for (const FontEntry &e : kFontEntries)
    if (e.size == size)
      return e.id;
  return 0;
}

void MainFace::loadSettings() {
  // Declared first so that it is destroyed (and rewritten) last, as the engine's file is.
  KConfig config(baseDir + "/.xmms/config");
  config.setGroup("xmms");
  shuffleOn = config.readBoolEntry("shuffle", true);
  repeatOn = config.readBoolEntry("repeat", false);
  equalizerOn = config.readBoolEntry("equalizer_active", true);
  config.setGroup("OSS");
  bassBoosterOn = config.readBoolEntry("ezx_bass_booster", true);
  audio3dOn = config.readBoolEntry("ezx_audio_3d", false);
  config.setGroup("Winskin");
  volumePercent = config.readNumEntry("Volume", 45);

  {
    KConfig settings(baseDir + "/.xmms/pelmar_cfg");
    settings.setGroup("pelskin");
    lyricsColour = parseColour(settings.readEntry("lrccolor", "#C8C8C8"));
    lyricsBackColour = parseColour(settings.readEntry("lrcbcolor", "#C8C8C8"));
    lyricsFontSize = settings.readNumEntry("lrcfont", 18);
    lyricsBig5 = settings.readBoolEntry("textcodec", false);
    showLyrics = settings.readBoolEntry("showlrc", false);

    loadPlaylistFile(baseDir + "/.xmms/" + "xmms.m3u");

    if (controller) {
      for (int band = 0; band < 10; ++band)
        eqValues[band] = static_cast<int>(controller->band(band));
      eqValues[10] = static_cast<int>(controller->preamp());
    }
  } // pelmar_cfg first, then the engine configuration: both rewritten, normalised
}

void MainFace::loadLyricsColours() {
  KConfig settings(baseDir + "/.xmms/pelmar_cfg", true);
  settings.setGroup("pelskin");
  lyricsColour = parseColour(settings.readEntry("lrccolor", "#C8C8C8"));
  lyricsBackColour = parseColour(settings.readEntry("lrcbcolor", "#C8C8C8"));
}

void MainFace::selectMenumfont(int id) {
  int size = fontSizeForEntry(id);
  if (size == 0)
    return;
  lyricsFontSize = size;
  lyricLineHeight = lineHeightForEntry(id);
  for (int entry = 1; entry <= 4; ++entry)
    fontMenu->setItemChecked(entry, entry == id);
  KConfig settings(baseDir + "/.xmms/pelmar_cfg");
  settings.setGroup("pelskin");
  settings.writeEntry("lrcfont", size);
  settings.sync();
}

void MainFace::selectMenu(int id) {
  if (id == 4) {
    // Before any store is open here: a store opened around the dialog would write the file
    // back with the old wallpaper when it closes.
    chooseWallpaper();
    return;
  }
  KConfig settings(baseDir + "/.xmms/pelmar_cfg");
  settings.setGroup("pelskin");
  if (id == 5) {
    sltfwdEnabled = !sltfwdEnabled;
    settings.writeEntry("sltfwd", sltfwdEnabled);
    if (!settings.isReadOnly())
      settings.sync();
    mainMenu->setItemChecked(5, sltfwdEnabled);
  }
}
