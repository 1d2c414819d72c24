// The main window's construction, settings and skin loading, read back from the settings files
// and from the pixels of its frame image.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"
#include "testskin.h"
#include "xmmsPlayer.h"

#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace velora::test;

namespace {

// A skin whose elements lie apart from each other on a 240 x 320 background.
const std::string kPlainSkin = "mwin_Y=0\nmwin_H=320\n";

std::unique_ptr<MainFace> openWindow() {
  guiApp();
  return std::make_unique<MainFace>(nullptr, nullptr);
}

std::string pelmar(const TempHome &home) { return readFile(home.path(".xmms/pelmar_cfg")); }

} // namespace

TEST(MainFace, AFreshHomeWithoutSeedingGivesTheDefaultsAndAnEmptySettingsFile) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  ASSERT_FALSE(fileExists(home.path(".xmms/pelmar_cfg")));
  auto w = openWindow();

  EXPECT_EQ(w->baseDir.toStdString(), home.home());
  EXPECT_EQ(w->skinName, "default");
  // The sung line's colour comes with the first start's seeding, not from the window itself.
  EXPECT_EQ(w->lyricsColour, QColor("#C8C8C8"));
  EXPECT_EQ(w->lyricsBackColour, QColor("#C8C8C8"));
  EXPECT_EQ(lyricsFontSize, 18);
  EXPECT_TRUE(w->fontMenu->isItemChecked(3));
  EXPECT_FALSE(w->fontMenu->isItemChecked(1));
  EXPECT_EQ(w->lyricLineHeight, 28);
  EXPECT_FALSE(showLyrics);
  EXPECT_FALSE(lyricsBig5);
  EXPECT_EQ(volumePercent, 45);
  EXPECT_TRUE(shuffleOn);
  EXPECT_FALSE(repeatOn);
  EXPECT_TRUE(equalizerOn);
  EXPECT_TRUE(bassBoosterOn);
  EXPECT_FALSE(audio3dOn);
  EXPECT_FALSE(sltfwdEnabled);
  EXPECT_FALSE(w->mainMenu->isItemChecked(5));
  EXPECT_EQ(windowMode, 2);
  EXPECT_EQ(keyVolUp, 4154);
  EXPECT_EQ(keyVolDown, 4155);
  EXPECT_EQ(keyEnter, 4101);
  EXPECT_EQ(keyUp, 4115);
  EXPECT_EQ(keyDown, 4117);
  EXPECT_EQ(keyLock, 4146);
  EXPECT_EQ(keyLeft, 4114);
  EXPECT_EQ(keyRight, 4116);
  EXPECT_EQ(keyCamera, 4145);
  EXPECT_EQ(keyNext, 0);
  EXPECT_EQ(keyPrev, 0);
  EXPECT_EQ(keySoftLeft, 4152);
  EXPECT_EQ(keySoftRight, 4153);
  EXPECT_EQ(keyLine, 4148);
  EXPECT_TRUE(w->wallpaperPixmap.isNull());
  EXPECT_EQ(w->title(), "velora        "); // eight blanks at start-up
  EXPECT_EQ(w->geometry().size(), QSize(240, 320));
  EXPECT_TRUE(w->titleTimer->isActive());
  EXPECT_EQ(w->titleTimer->interval(), 200);
  EXPECT_TRUE(w->checkTimer->isActive());
  EXPECT_EQ(w->checkTimer->interval(), 1000);
  EXPECT_EQ(w->lyricColourButton->objectName(), "opendlg");
  EXPECT_EQ(w->lyricBackColourButton->objectName(), "opendlg1");
  EXPECT_EQ(w->lyricColourButton->palette().color(QPalette::Button), QColor("#C8C8C8"));

  // The settings file now exists and holds no groups; the engine's file was normalised.
  ASSERT_TRUE(fileExists(home.path(".xmms/pelmar_cfg")));
  EXPECT_EQ(pelmar(home), "") << pelmar(home);
  EXPECT_TRUE(fileExists(home.path(".xmms/config")));
}

TEST(MainFace, SettingsAreReadFromBothFiles) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  writeTestSkin(home.home(), "Blue", kPlainSkin);
  writeFile(home.path(".xmms/config"),
            "[xmms]\nshuffle=false\nrepeat=true\nequalizer_active=false\n"
            "[OSS]\nezx_bass_booster=false\nezx_audio_3d=true\n"
            "[Winskin]\nVolume=81\n");
  writeFile(home.path(".xmms/pelmar_cfg"),
            "[pelskin]\nCurrentSkin=Blue\nlrccolor=#102030\nlrcbcolor=red\nlrcfont=21\n"
            "textcodec=true\nshowlrc=true\nsltfwd=true\nkey_vol_up=65\nKEY_line=66\n");
  auto w = openWindow();
  EXPECT_EQ(w->skinName, "Blue");
  EXPECT_FALSE(shuffleOn);
  EXPECT_TRUE(repeatOn);
  EXPECT_FALSE(equalizerOn);
  EXPECT_FALSE(bassBoosterOn);
  EXPECT_TRUE(audio3dOn);
  EXPECT_EQ(volumePercent, 81);
  EXPECT_EQ(w->lyricsColour, QColor(0x10, 0x20, 0x30));
  EXPECT_EQ(w->lyricsBackColour, QColor(Qt::red));
  EXPECT_EQ(lyricsFontSize, 21);
  EXPECT_TRUE(w->fontMenu->isItemChecked(4));
  EXPECT_EQ(w->lyricLineHeight, 35);
  EXPECT_TRUE(lyricsBig5);
  EXPECT_TRUE(showLyrics);
  EXPECT_TRUE(sltfwdEnabled);
  EXPECT_TRUE(w->mainMenu->isItemChecked(5));
  EXPECT_EQ(keyVolUp, 65);
  EXPECT_EQ(keyLine, 66);
  EXPECT_EQ(keyEnter, 4101);
}

TEST(MainFace, RememberedSkinWithoutSkinsConfFallsBackToDefault) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  makeDirs(home.path("skins/broken"));
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nCurrentSkin=broken\n");
  {
    auto w = openWindow();
    EXPECT_EQ(w->skinName, "default");
  }
  // The bad value stays until another skin is chosen.
  EXPECT_NE(pelmar(home).find("CurrentSkin=broken"), std::string::npos);

  // Names are kept as UTF-8 bytes.
  const std::string name = "Caf\xc3\xa9 \xe7\x9a\xae";
  writeTestSkin(home.home(), name, kPlainSkin);
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nCurrentSkin=" + name + "\n");
  auto w = openWindow();
  EXPECT_EQ(w->skinName, QString::fromUtf8(name.c_str()));
}

TEST(MainFace, SkinMenuOffersSevenFoldersSortedIgnoringCase) {
  TempHome home;
  for (const char *n :
       {"golf", "Alpha", "india", "charlie", "Bravo", "hotel", "Echo", "delta", "Foxtrot"})
    writeTestSkin(home.home(), n, kPlainSkin);
  writeFile(home.path("skins/not-a-folder.png"), "x");
  auto w = openWindow();
  QStringList offered;
  for (int id = 1; id <= 9; ++id)
    if (!w->skinMenu->text(id).isEmpty())
      offered << w->skinMenu->text(id);
  EXPECT_EQ(offered,
            (QStringList{"Alpha", "Bravo", "charlie", "delta", "Echo", "Foxtrot", "golf"}));
}

TEST(MainFace, SkinMenuSwitchesSkinsAndItemZeroChangesNothing) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  writeTestSkin(home.home(), "other", kPlainSkin + "prev=1,2,3,4,5,6\n");
  auto w = openWindow();
  const std::string before = pelmar(home);
  w->selectMenumskin(0);
  EXPECT_EQ(w->skinName, "default");
  EXPECT_EQ(pelmar(home), before);
  EXPECT_TRUE(w->prev.isEmpty());

  ASSERT_EQ(w->skinMenu->text(2), "other");
  w->selectMenumskin(2);
  EXPECT_EQ(w->skinName, "other");
  EXPECT_EQ(w->prev.field(4), 5);
  EXPECT_NE(pelmar(home).find("[pelskin]\nCurrentSkin=other"), std::string::npos) << pelmar(home);
  w->selectMenumskin(42); // no such entry
  EXPECT_EQ(w->skinName, "other");
}

TEST(MainFace, FontMenuWritesSizeAndLineHeight) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  auto w = openWindow();
  const int sizes[] = {14, 16, 18, 21}, heights[] = {20, 24, 28, 35};
  for (int id = 1; id <= 4; ++id) {
    w->selectMenumfont(id);
    EXPECT_EQ(lyricsFontSize, sizes[id - 1]);
    EXPECT_EQ(w->lyricLineHeight, heights[id - 1]);
    for (int other = 1; other <= 4; ++other)
      EXPECT_EQ(w->fontMenu->isItemChecked(other), other == id);
    EXPECT_NE(pelmar(home).find("lrcfont=" + std::to_string(sizes[id - 1])), std::string::npos);
  }
  w->selectMenumfont(1);
  EXPECT_EQ(pelmar(home), "[pelskin]\nlrcfont=14\n");
  w->selectMenumfont(9);
  EXPECT_EQ(pelmar(home), "[pelskin]\nlrcfont=14\n");
  EXPECT_EQ(w->lyricLineHeight, 20);

  // A size off the table checks nothing and keeps the line height.
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nlrcfont=20\n");
  auto w2 = openWindow();
  for (int id = 1; id <= 4; ++id)
    EXPECT_FALSE(w2->fontMenu->isItemChecked(id));
  EXPECT_EQ(w2->lyricLineHeight, 28);
}

TEST(MainFace, SltfwdToggledTwiceIsBackToFalse) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  auto w = openWindow();
  w->selectMenu(5);
  EXPECT_TRUE(sltfwdEnabled);
  EXPECT_TRUE(w->mainMenu->isItemChecked(5));
  EXPECT_NE(pelmar(home).find("sltfwd=true"), std::string::npos);
  w->selectMenu(5);
  EXPECT_FALSE(sltfwdEnabled);
  EXPECT_FALSE(w->mainMenu->isItemChecked(5));
  EXPECT_NE(pelmar(home).find("sltfwd=false"), std::string::npos);
  EXPECT_EQ(w->mainMenu->text(5), "Font    ");
  EXPECT_EQ(w->mainMenu->text(4), "Wallpaper");
  EXPECT_EQ(w->mainMenu->text(6), "Skins   ");
  EXPECT_EQ(w->playlistMenu->text(0), "Actual  ");
}

TEST(MainFace, TitleRules) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin);
  auto w = openWindow();
  w->titleOffset = 7;
  w->titleWidth = 90;
  w->setTitle("3.song.mp3");
  EXPECT_EQ(w->title(), "3.song.mp3");
  EXPECT_EQ(w->titleOffset, 0);
  EXPECT_EQ(w->titleWidth, -1);
  w->titleOffset = 7;
  w->setTitle("3.song.mp3"); // equal: nothing changes
  EXPECT_EQ(w->titleOffset, 7);
  w->setTitle(QString());
  EXPECT_EQ(w->title(), "velora       "); // seven blanks
  EXPECT_EQ(w->titleOffset, 0);
}

TEST(MainFace, ElementsDrawTheirSheetRectangles) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kPlainSkin + "prev=10,20,30,40,50,60\naudio3d_btn=0,0,20,10,100,50\n"
                             "bassbooster=200,0,20,10,100,50\nstop=5,5\n"
                             "VL_BTN=40,100,114,10,0,400,300,400,12,10\n");
  writeFile(home.path(".xmms/config"),
            "[OSS]\nezx_audio_3d=true\nezx_bass_booster=false\n[Winskin]\nVolume=50\n");
  auto w = openWindow();
  EXPECT_EQ(w->stop.field(2), 0); // a short list reads 0 past its end
  EXPECT_EQ(w->stop.field(40), 0);
  w->composeFrame();
  const QImage &f = w->frameImage();
  ASSERT_EQ(f.size(), QSize(240, 320));
  EXPECT_TRUE(showsSheetRect(f, 10, 20, 50, 60, 30, 40));     // prev
  EXPECT_TRUE(showsSheetRect(f, 0, 0, 100, 60, 20, 10));      // audio3d on: picture below
  EXPECT_TRUE(showsSheetRect(f, 200, 0, 100, 50, 20, 10));    // bass booster off
  EXPECT_TRUE(showsSheetRect(f, 150, 200, 150, 200, 50, 50)); // background (mwin 0)

  // Volume knob: track 114 - 14 = 100 pixels, so volume 50 sits at x + 50.
  EXPECT_EQ(volumeTrack, 100);
  EXPECT_TRUE(showsSheetRect(f, 90, 100, 300, 400, 12, 10));
  volumePercent = 0;
  w->composeFrame();
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 100, 300, 400, 12, 10));

  EXPECT_TRUE(w->saveFrame(QString::fromStdString(home.path("frame.png"))));
  QImage saved(QString::fromStdString(home.path("frame.png")));
  EXPECT_EQ(saved.size(), QSize(240, 320));
}

TEST(MainFace, DerivedValuesAndBuffersFollowTheSkin) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kPlainSkin + "EQ=20,200,12,81,0,500,200,500,10,6,16\nH_VL_BTN=0,0,10,116\n"
                             "title_win=60,40,120,16,0,600,#ffcc00\ntime_win=1,1,9,13,0,0,60,20\n"
                             "eqalzr_win=0,0,1,1,0,0,108,21\nposbar=0,0,200,12\n"
                             "color_BTN=100,150,30,14\nplist_Bar=0,0,1,1,0,0,0,0,0,0,white\n"
                             "lrcwin_show=0,0,200,90\n");
  auto w = openWindow();
  EXPECT_EQ(eqCentreY, 200 + 81 / 2);
  EXPECT_EQ(hVolumeTrack, 100);
  EXPECT_EQ(volumeTrack, -14); // no VL_BTN: the track reads 0 wide
  EXPECT_EQ(w->titlePixmap.size(), QSize(120, 16));
  EXPECT_EQ(w->timePixmap.size(), QSize(60, 20));
  EXPECT_EQ(w->eqCurvePixmap.size(), QSize(108, 21));
  EXPECT_EQ(w->posbarPixmap.size(), QSize(200, 12));
  EXPECT_EQ(w->lyricsPixmap.size(), QSize(200, 90));
  EXPECT_TRUE(w->hPosbarPixmap.isNull());
  EXPECT_EQ(w->titlePen, QColor("#ffcc00"));
  EXPECT_EQ(w->playlistLinePen, QColor(Qt::white));
  EXPECT_EQ(titleFontFamily, "SSong");
  EXPECT_EQ(w->titleFont.pixelSize(), 10); // pixels: the skin is designed in pixels
  EXPECT_EQ(w->lyricColourButton->geometry(), QRect(140, 151, 12, 12));
  EXPECT_EQ(w->lyricBackColourButton->geometry(), QRect(157, 151, 12, 12));
  EXPECT_TRUE(w->lyricColourButton->isHidden());
  EXPECT_EQ(w->positionPercent, -1);
}

TEST(MainFace, WinEnabledFalseShowsPlaylistAndEqualizerPanels) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kPlainSkin + "win_enabled=false\nplistwin=0,180,240,40,0,330\n"
                             "eqwin=0,250,240,40,0,380\nlrcwin=0,220,240,20,0,360\n"
                             "btn_plistwin=0,300,20,10,300,600\n");
  auto w = openWindow();
  EXPECT_TRUE(playlistPanelShown);
  EXPECT_TRUE(equalizerPanelShown);
  EXPECT_FALSE(lyricsPanelShown);
  w->composeFrame();
  const QImage &f = w->frameImage();
  EXPECT_TRUE(showsSheetRect(f, 0, 180, 0, 330, 240, 40)); // playlist strip from sheet row 330
  EXPECT_TRUE(showsSheetRect(f, 0, 250, 0, 380, 240, 40)); // equalizer strip
  EXPECT_TRUE(showsSheetRect(f, 0, 220, 0, 220, 240, 20)); // no lyrics strip: background
  EXPECT_TRUE(showsSheetRect(f, 0, 300, 0, 300, 20, 10));  // no playlist tab in this layout

  writeTestSkin(home.home(), "default",
                kPlainSkin + "win_enabled=true\nbtn_plistwin=0,300,20,10,300,600\n");
  w->loadSkin(QString::fromStdString(home.path("skins/default/skins.png")));
  EXPECT_TRUE(playlistPanelShown);
  EXPECT_FALSE(equalizerPanelShown);
  EXPECT_FALSE(lyricsPanelShown);
  w->composeFrame();
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 300, 300, 610, 20, 10)); // tab on: below
}

TEST(MainFace, WindowModesComposeTheirOwnPictures) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin + "H_prev=100,100,20,30,400,10\n");
  // Mini-mode pictures and a wallpaper whose pixels are coded as well.
  codedSheet(100, 80).save(QString::fromStdString(home.path("skins/default/mini_btn.png")));
  QImage miniMain(240, 25, QImage::Format_RGB32);
  miniMain.fill(qRgb(1, 2, 3));
  miniMain.save(QString::fromStdString(home.path("skins/default/mini_main.png")));
  codedSheet(320, 240).save(QString::fromStdString(home.path("skins/wall.png")));
  writeFile(home.path(".xmms/pelmar_cfg"),
            "[pelskin]\nbackskin=" + home.path("skins/wall.png") + "\n");
  auto w = openWindow();
  // Read when the horizontal mode is first drawn, not held by a window that never shows it.
  EXPECT_TRUE(w->wallpaperPixmap.isNull());

  windowMode = HorizontalMode;
  w->composeFrame();
  ASSERT_FALSE(w->wallpaperPixmap.isNull());
  // The landscape picture turned by 270 degrees: its top-right corner lands at the top-left.
  EXPECT_EQ(w->frameImage().pixel(0, 0) & 0xffffff, sheetColour(319, 0) & 0xffffff);
  EXPECT_EQ(w->frameImage().pixel(0, 319) & 0xffffff, sheetColour(0, 0) & 0xffffff);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 100, 100, 400, 10, 20, 30));

  windowMode = MiniMode;
  playingFlag = false;
  w->composeFrame();
  EXPECT_EQ(w->frameImage().pixel(100, 20) & 0xffffff, 0x010203u);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 26, 3, 0, 0, 21, 20));    // play picture
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 220, 0, 40, 40, 20, 18)); // exit button
  playingFlag = true;
  w->composeFrame();
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 26, 3, 21, 0, 21, 20)); // pause picture
  playingFlag = false;
  EXPECT_TRUE(w->saveFrame(QString::fromStdString(home.path("mini.png"))));
  EXPECT_EQ(QImage(QString::fromStdString(home.path("mini.png"))).size(), QSize(240, 25));
  windowMode = VerticalMode;
}

TEST(MainFace, MissingSheetDrawsNothing) {
  TempHome home;
  writeTestSkin(home.home(), "default", kPlainSkin + "prev=10,20,30,40,50,60\n", false);
  auto w = openWindow();
  EXPECT_TRUE(w->skinPixmap.isNull());
  QImage before = w->frameImage();
  w->composeFrame();
  EXPECT_EQ(w->frameImage(), before);
}

TEST(MainFace, FirstStartInstallsTheShippedSkinWithoutOverwriting) {
  TempHome home;
  const std::string share = home.root() + "/share";
  writeTestSkin(share, "default", kPlainSkin + "prev=1,1,1,1,1,1\n");
  writeFile(share + "/skins/default/mask.png", "shipped");
  // A user who already has a "default" folder with a file of their own in it.
  writeFile(home.path("skins/default/mask.png"), "mine");
  setVeloraShareDir(QString::fromStdString(share));
  auto w = openWindow();
  EXPECT_EQ(readFile(home.path("skins/default/mask.png")), "mine");
  EXPECT_EQ(readFile(home.path("skins/default/skins.conf")),
            readFile(share + "/skins/default/skins.conf"));
  EXPECT_TRUE(fileExists(home.path("skins/default/skins.png")));
  EXPECT_EQ(w->prev.field(0), 1);
  w.reset();

  // Once installed, a changed skin of the user is left alone.
  writeFile(home.path("skins/default/skins.conf"), "[SKINS]\nprev=9\n");
  EXPECT_FALSE(MainFace::installDefaultSkin(QString::fromStdString(home.home()),
                                            QString::fromStdString(share)));
  EXPECT_EQ(readFile(home.path("skins/default/skins.conf")), "[SKINS]\nprev=9\n");
  setVeloraShareDir(QString());
}
