// Building the main window: members, menus, child buttons, timers and the title.
#include "mainface.h"

#include "gbkcodec.h"
#include "kconfig.h"
#include "sharedir.h"
#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

namespace {
// The title shown while nothing plays; the padding lets it rest a moment between songs.
const char kDefaultTitle[] = "velora";
} // namespace

MainFace::MainFace(QWidget *parent, const char *name) : ZMainWidget(parent, name) {
  // Every pixel comes from the frame image; the system never erases the window.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_DeleteOnClose);
  frame.fill(Qt::black);

  controller = XMMSPlayer::instance;
  // Stops the window did not ask for (the end of the list, an engine that died and was
  // replaced) must still turn the pause picture back into the play picture.
  if (controller) {
    connect(controller, &XMMSPlayer::stopped, this, &MainFace::engineStopped);
    connect(controller, &XMMSPlayer::outputLost, this, &MainFace::soundDeviceLost);
    connect(controller, &XMMSPlayer::unplayable, this, &MainFace::songUnplayable);
  }
  baseDir = QDir::homePath();
  windowMode = VerticalMode;

  installDefaultSkin(baseDir, veloraShareDir());
  // Task bars, window lists and tools that find a window by name look for this.
  setWindowTitle(QStringLiteral("velora"));

  {
    // A first start's settings (lyrics shown, the sung line's colour) were seeded before the
    // engine started (firststart.cpp); this reads whatever the file holds.
    KConfig settings(baseDir + "/.xmms/pelmar_cfg");
    settings.setGroup("pelskin");
    QString remembered = QString::fromUtf8(settings.readEntry("CurrentSkin").toLatin1());
    if (!remembered.isEmpty() &&
        QFileInfo::exists(baseDir + "/skins/" + remembered + "/skins.conf"))
      skinName = remembered;
    else
      skinName = fromGbk("default");

    sizeChoice = sizeChoiceFromText(settings.readEntry("scale", "1"));
    setGeometry(QRect(QPoint(0, 0), windowSizeFor(VerticalMode)));
    // The density is known before the skin is read, so its pictures are read once, at it.
    updateView();

    keyVolUp = settings.readNumEntry("key_vol_up", 4154);
    keyVolDown = settings.readNumEntry("key_vol_down", 4155);
    keyEnter = settings.readNumEntry("key_enter", 4101);
    keyUp = settings.readNumEntry("key_up", 4115);
    keyDown = settings.readNumEntry("key_down", 4117);
    keyLock = settings.readNumEntry("key_lock", 4146);
    keyLeft = settings.readNumEntry("key_left", 4114);
    keyRight = settings.readNumEntry("key_right", 4116);
    keyCamera = settings.readNumEntry("key_camera", 4145);
    keyNext = settings.readNumEntry("key_Next", 0);
    keyPrev = settings.readNumEntry("key_Prev", 0);
    keySoftLeft = settings.readNumEntry("key_SoftLeft", 4152);
    keySoftRight = settings.readNumEntry("key_SoftRight", 4153);
    keyLine = settings.readNumEntry("KEY_line", 4148);
    keyLrcEarlier = settings.readNumEntry("key_lrc_earlier", 4149); // F6
    keyLrcLater = settings.readNumEntry("key_lrc_later", 4150);     // F7
    keySpeedDown = settings.readNumEntry("key_speed_down", 4147);   // F4
    keySpeedUp = settings.readNumEntry("key_speed_up", 4151);       // F8
    sltfwdEnabled = settings.readBoolEntry("sltfwd", false);

    wallpaperPath = QString::fromUtf8(settings.readEntry("backskin").toLatin1());
    playlistLineFont = font();
    playlistLineFont.setPixelSize(12); // pixels, like the skin's 14-pixel rows

    buildMenus();

    lyricColourButton = new QPushButton(QString(), this);
    lyricColourButton->setObjectName("opendlg");
    lyricBackColourButton = new QPushButton(QString(), this);
    lyricBackColourButton->setObjectName("opendlg1");
    for (QPushButton *b : {lyricColourButton, lyricBackColourButton}) {
      b->setFocusPolicy(Qt::NoFocus); // keys belong to the window
      b->hide();
    }

    mainMenu->setItemChecked(5, sltfwdEnabled);
    loadSettings();
    loadSkin(baseDir + "/skins/" + skinName + "/skins.png");

    QPalette swatch = lyricColourButton->palette();
    swatch.setColor(QPalette::Button, lyricsColour);
    swatch.setColor(QPalette::Window, Qt::white);
    lyricColourButton->setPalette(swatch);
    connect(lyricColourButton, &QPushButton::clicked, this, &MainFace::openbutlrc);
    swatch.setColor(QPalette::Button, lyricsBackColour);
    lyricBackColourButton->setPalette(swatch);
    connect(lyricBackColourButton, &QPushButton::clicked, this, &MainFace::openbutlrcb);

    setTitle(fromGbk(kDefaultTitle) + QString(8, QLatin1Char(' ')));

    titleTimer = new QTimer(this);
    connect(titleTimer, &QTimer::timeout, this, &MainFace::drawTitle);
    titleTimer->start(200);

    int entry = fontEntryForSize(lyricsFontSize);
    if (entry > 0) {
      fontMenu->setItemChecked(entry, true);
      lyricLineHeight = lineHeightForEntry(entry);
    }
    lastPosition = 0;

    checkTimer = new QTimer(this);
    // Exactly a second apart: a coarse timer may drift by 5 % and, over a clock that moves a
    // second a second, skip a second of the time display and the lyrics it steps.
    checkTimer->setTimerType(Qt::PreciseTimer);
    connect(checkTimer, &QTimer::timeout, this, &MainFace::doCheckTimer);
    checkTimer->start(1000);
  } // the settings store is written back here (creating an empty file on first start)
}

MainFace::~MainFace() {
  if (titleTimer)
    titleTimer->stop();
  if (checkTimer)
    checkTimer->stop();
  // The menus without a parent belong to the window all the same.
  delete skinMenu;
  delete sizeMenu;
  delete fontMenu;
  delete playlistMenu;
}

void MainFace::offerSaveWhileTiming(QPopupMenu *menu, int saveId) {
  // Outside the timing mode there is nothing to save: an entry that did nothing, silently,
  // looked broken.
  connect(menu, &QMenu::aboutToShow, this,
          [this, menu, saveId] { menu->setItemEnabled(saveId, timing.active()); });
}

void MainFace::buildMenus() {
  fontMenu = new QPopupMenu(nullptr);
  fontMenu->setCheckable(true);
  fontMenu->insertItem(fromGbk("14"), 1);
  fontMenu->insertItem(fromGbk("16"), 2);
  fontMenu->insertItem(fromGbk("18"), 3);
  fontMenu->insertItem(fromGbk("21"), 4);
  connect(fontMenu, &QPopupMenu::activated, this, &MainFace::selectMenumfont);
  // The lyrics panel's menu also starts (and ends) the timing mode.
  fontMenu->insertSeparator();
  fontMenu->insertItem(QCoreApplication::translate("velora", "Time lyrics"), this,
                       &MainFace::timeLyrics);
  offerSaveWhileTiming(fontMenu,
                       fontMenu->insertItem(QCoreApplication::translate("velora", "Save lyrics"),
                                            this, &MainFace::saveTimedLyrics));

  playlistMenu = new QPopupMenu(nullptr);
  playlistMenu->insertItem(QCoreApplication::translate("velora", "Actual  "), 0);
  connect(playlistMenu, &QPopupMenu::activated, this, &MainFace::selectMenumplist);

  skinMenu = new QPopupMenu(nullptr);
  QStringList skins = skinFolders(baseDir);
  for (int i = 0; i < skins.size() && i < 7; ++i)
    skinMenu->insertItem(skins[i], i + 1);
  connect(skinMenu, &QPopupMenu::activated, this, &MainFace::selectMenumskin);

  sizeMenu = new QPopupMenu(nullptr);
  sizeMenu->setCheckable(true);
  sizeMenu->insertItem(QStringLiteral("1\u00d7"), kSizeMenuBase + 1);
  sizeMenu->insertItem(QStringLiteral("2\u00d7"), kSizeMenuBase + 2);
  sizeMenu->insertItem(QStringLiteral("3\u00d7"), kSizeMenuBase + 3);
  sizeMenu->insertItem(QCoreApplication::translate("velora", "Fit screen"), kSizeMenuBase);
  sizeMenu->setItemChecked(kSizeMenuBase + sizeChoice, true);
  connect(sizeMenu, &QPopupMenu::activated, this,
          [this](int id) { chooseSize(id - kSizeMenuBase); });

  mainMenu = new QPopupMenu(this);
  mainMenu->insertItem(QCoreApplication::translate("velora", "Wallpaper"), 4);
  mainMenu->insertItem(QCoreApplication::translate("velora", "Font    "), 5);
  mainMenu->setItemChecked(5, false);
  mainMenu->insertItem(QCoreApplication::translate("velora", "Skins   "), skinMenu, 6);
  mainMenu->insertItem(QCoreApplication::translate("velora", "Time lyrics"), this,
                       &MainFace::timeLyrics);
  offerSaveWhileTiming(mainMenu,
                       mainMenu->insertItem(QCoreApplication::translate("velora", "Save lyrics"),
                                            this, &MainFace::saveTimedLyrics));
  mainMenu->insertItem(QCoreApplication::translate("velora", "Size"), sizeMenu, 7);
  buildSoundMenus();
  mainMenu->insertSeparator();
  mainMenu->insertItem(QCoreApplication::translate("velora", "About   "), this,
                       &MainFace::sltAbout);
  mainMenu->insertItem(QCoreApplication::translate("velora", "Exit    "), this, &QWidget::close);
  connect(mainMenu, &QPopupMenu::activated, this, &MainFace::selectMenu);
}

void MainFace::setTitle(const QString &text) {
  if (text.isNull()) {
    titleText = fromGbk(kDefaultTitle) + QString(7, QLatin1Char(' '));
  } else {
    if (text == titleText)
      return;
    titleText = text;
  }
  titleOffset = 0;
  titleWidth = -1;
  wakeTitle();
}
