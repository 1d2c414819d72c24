// The program's one top-level window, drawn entirely from the current skin into a 240 x 320
// frame image that the paint event copies to the screen.
//
// The window is split into files by concern: construction.cpp (members, menus, timers, title),
// skin.cpp (skin loading and switching, first-start skin install), settings.cpp (settings load,
// settings writes), closing.cpp (the close sequence), frame.cpp (the frame image and the full
// composition), lyricsstate.cpp (song-change lyrics loading), playlisteditor.cpp (the editor and
// its answers), about.cpp (the About box). Drawing of single areas, status polling, touch, commands
// and keys live in files of their own.
#pragma once

#include "core/enginerestart.h"
#include "core/lyrics.h"
#include "core/lyricstiming.h"
#include "logical.h"
#include "lyricslayout.h"
#include "qpopupmenu.h"
#include "skinelement.h"
#include "songclock.h"
#include "state.h"
#include "zmainwidget.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMap>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <QTransform>
#include <functional>

class KConfig;
class QPushButton;
class QTimer;
class XMMSPlayer;
class PlayList;
class eqWidget;

class MainFace : public ZMainWidget {
  Q_OBJECT
public:
  explicit MainFace(QWidget *parent = nullptr, const char *name = nullptr);
  ~MainFace() override;

  // A null text restores "velora" + seven blanks; another text replaces the
  // title only when it differs. Either change restarts the scrolling.
  void setTitle(const QString &text);
  QString title() const { return titleText; }

  // Skin (skin.cpp).
  void loadSkin(const QString &sheetPath);
  QString skinDir() const { return baseDir + "/skins/" + skinName; }
  // Folders of baseDir/skins, sorted ignoring case; at most seven are offered in the menu.
  static QStringList skinFolders(const QString &home);
  // Copies the shipped default skin into home/skins/default when that folder has no skins.conf;
  // files already there are never overwritten. Returns true when a skin was installed.
  static bool installDefaultSkin(const QString &home, const QString &shareDir);
  // In a home whose default skin is already there (installed by an older velora), adds the
  // shipped higher-density sheets (name@2x.png, name@3x.png) that are missing, each only beside
  // a 1x picture that is still the shipped one; nothing of the user's is overwritten. Returns
  // how many were added.
  static int addDensitySheets(const QString &home, const QString &shareDir);

  // Settings (settings.cpp): the settings load, also re-run after a lyrics colour change.
  void loadSettings();
  // The skin's colours for everything that is not a picture (skincolours.cpp): the margins
  // around the picture and every dialog and menu, from the optional skins.conf keys
  // "ui_background", "ui_text", "ui_highlight" and "ui_button".
  void loadSkinColours(KConfig &conf);
  // Reads just the two lyrics colours (after the colour chooser wrote one of them).
  void loadLyricsColours();
  // Sizes and line heights of the four font-menu entries; 0 for another id.
  static int fontSizeForEntry(int id);
  static int lineHeightForEntry(int id);
  static int fontEntryForSize(int size);

  // Frame image (frame.cpp). Everything drawn lands here first; the paint event copies it. It
  // is kept at the window's density; frameImage() is its 240 x 320 view at one device pixel
  // per logical pixel (the frame itself at that density).
  const QImage &frameImage() const;
  const QImage &denseFrame() const { return frame; }
  bool saveFrame(const QString &path) const;
  // The full composition of the current window mode (what a full paint shows).
  void composeFrame();
  // Recompose everything and show it (the "repaint, erasing first" of the window).
  void repaintAll();
  // Copies the sheet rectangle (sx, sy, w, h) to (x, y) of the frame and shows that area.
  void copyToWindow(const QImage &source, int sx, int sy, int w, int h, int x, int y);
  // Marks a frame area as changed.
  void showArea(const QRect &area);
  // Reads the mini strip's pictures at the frame's density unless they are there.
  void makeMiniImages();

  // The view (view.cpp): how the logical frame is laid onto the window.
  // The event position of the window in logical frame coordinates, and back.
  QPoint toLogical(const QPointF &windowPos) const;
  QPoint toWindow(const QPoint &logical) const;
  QRect toWindow(const QRect &logical) const;
  // Logical pixels to window pixels (the fit of the picture into the window).
  qreal viewScale = 1;
  // The horizontal mode shown upright, in a landscape window.
  bool showsUpright() const;
  // The "Size" choice (pelmar_cfg "scale"): 0 fits the screen, 1 to 3 a fixed multiple.
  int sizeChoice = 1;
  void chooseSize(int choice);
  static int sizeChoiceFromText(const QString &text);
  // The window's size for a window mode under the current size choice.
  QSize windowSizeFor(int mode) const;
  void resizeForMode(int mode);
  static constexpr int kSizeMenuBase = 40; // item ids of "Size": 40 fit, 41 to 43 1x to 3x
  QPopupMenu *sizeMenu = nullptr;
  // Margins around the picture when the window is larger than the skin.
  QColor marginColour{0x14, 0x18, 0x20};

  // Lyrics (lyricsstate.cpp): looks up and reads the lyrics of a song that became current (a
  // file beside it or in its "Lyrics" folder, else the lyrics inside the song file).
  void loadLyrics(const QString &songPath);
  // The earlier/later keys: moves the current song's lyrics by deltaMs and remembers it.
  void shiftLyrics(int deltaMs);
  // The stylus dragging the lyrics: the lines follow it by `offset` pixels; at the release the
  // song seeks to the line then at the centre (a plain page just stays scrolled).
  void dragLyrics(int offset);
  void finishLyricsDrag();

  // Timing lyrics by tapping (lyricstap.cpp). timeLyrics starts the mode on the current song
  // (or, while it runs, leaves it); stampLine is the tap on the band or Enter, undoStamp Back,
  // nudgeStamp a drag of `pixels` (down: later). leaveTiming asks before dropping unsaved stamps
  // and returns false when the user chose to stay.
  void timeLyrics();
  void stampLine();
  void undoStamp();
  void nudgeStamp(int pixels);
  bool saveTimedLyrics();
  bool leaveTiming(bool mayStay = true);
  LyricsTiming timing;
  // Playback speed and ReplayGain (sound.cpp). changeSpeed sends the speed (rounded to a step of
  // 0.05 within 0.5 .. 2.0) to the engine and shows "Speed 0.75×"; stepSpeed moves it by
  // steps of 0.05 from where it stands.
  void changeSpeed(double speed);
  void stepSpeed(int steps);
  void changeReplayGainMode(int mode);
  // Reads the speed and the ReplayGain mode from the engine and checks the menus' items.
  void refreshSoundMenus();
  static QString speedNotice(double speed);

  // Drawing of single areas, by later parts of the window.
  void drawTime(int seconds);
  void drawPosition(int percent, bool byUser);
  void drawVolume(int value, bool pressed);
  void drawPlaylistBar(int offset, bool pressed);
  void drawEqSlider(int index);
  void drawEqCurve();
  void drawPlayStatus(int state);
  void drawElement(int id, int offset);
  void drawLyrics();
  // One picture of the lyrics band at the current position: timed rows filled up to the song's
  // time, or wholly sung (the copy the karaoke sweep uncovers).
  void renderLyrics(bool allSung);
  // Song time of the karaoke sweep (the engine's time carried forward, with the song's shift).
  double sweepTime() const;
  // The lyrics lines are on screen in the current window mode.
  bool lyricsOnScreen() const;
  // Shows the sung pixel columns since the last step and sets the next step. `now`: the window
  // is repainted at once; otherwise an update of the whole band is already on its way.
  void advanceSweep(bool now);
  // Copies a rectangle of the band from the wholly sung picture to the frame (and the window).
  void sweepStrip(const QRect &band, bool now);
  void setEqValue(int index, int value);
  void sendEq(int index);
  // Reads a playlist file into playlistModel; the panel is redrawn when the list changed.
  void loadPlaylistFile(const QString &path);
  void playlistPanelChanged();
  // A short line in the title area for about two seconds.
  void showNotice(const QString &text);

  // Engine playlist (playlists.cpp). Each of these stops this session's engine, replaces its
  // playlist file, starts it again and plays the first entry; nothing happens to the engine
  // when the folder or the saved playlist cannot be read (playSavedPlaylist returns false) or
  // the folder holds no songs. They return at once: the restart runs on timers.
  void playFolder(const QString &folder);
  // The songs, in this order, as the new playlist (the command line, a folder, a file opened
  // from the desktop).
  void playSongs(const QStringList &songs);
  bool playSavedPlaylist(const QString &file);
  // Stops the engine, runs rewrite, starts the engine again: on timers (enginerestart.h), the
  // window goes on meanwhile; enginePlaylistReplaced() follows when it is done.
  void replaceEnginePlaylist(std::function<bool()> rewrite);
  // After the engine's playlist file was replaced: the panel and an open editor read it again,
  // the user is told when no engine answers, and the first entry plays.
  void enginePlaylistReplaced(const enginerestart::Outcome &outcome);
  // Refills playlistMenu with the saved playlists (at most seven); the files behind the items
  // are kept in savedPlaylists by item id.
  void refillPlaylistMenu();
  QMap<int, QString> savedPlaylists;
  // The playlist editor on the engine's playlist file (playlisteditor.cpp); a new one replaces
  // the previous one.
  void openPlaylistEditor();
  QPointer<PlayList> playlistEditor;

  // Dialog commands (dialogcommands.cpp): codes 5, 10 and 25, and the wallpaper entry.
  void openFolderCommand();
  void presetsCommand();
  void playlistMenuCommand();
  void chooseWallpaper();
  QPointer<eqWidget> presetsDialog; // the latest presets dialog
  // Draws the next of the three decoration frames of vertical mode (missing pictures draw nothing).
  void drawDecorationFrame();
  // The title shown while the A-B loop runs.
  static QString abRepeatTitle();
  // The colour chooser behind both lyrics colour buttons: the current line's or the others'.
  void chooseLyricsColour(bool currentLine);

public slots:
  void drawTimer(int seconds, unsigned int rate, unsigned int frequency, int percent,
                 int lengthSeconds);
  void drawTitle();
  // Starts the title tick again after it went to sleep on a title that stands still.
  void wakeTitle();
  void drawPList(int first);
  void seekTo(int seconds);
  void openbutlrc();
  void openbutlrcb();
  void moveskins();
  void selectMenumskin(int id);
  void selectMenumfont(int id);
  void selectMenu(int id);
  void selectMenumplist(int id);
  void lrcRepaint();
  void sweepLyrics();
  void buttonClick(int code);
  void playlistSlot();
  void doCheckTimer();
  // The engine stopped without a tap here: the list ran out, or it died and a fresh one waits.
  void engineStopped();
  // The engine's sound device stopped taking audio and the songs go on silently: say so.
  void soundDeviceLost(const QString &reason);
  void songUnplayable(const QString &file, int skipped);
  void plistPOSClick(int index);
  void equalizerChangeSlot();
  void sltAbout();
  // A close asked for while dialogs may be open (the desktop's Quit, a quit signal, Exit):
  // dialogs and pop-ups that are open are cancelled first; the close sequence runs once
  // (closing.cpp). From outside, nobody is asked anything: unsaved tapped times are kept.
  void requestClose(bool fromOutside = true);

protected:
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void paintEvent(QPaintEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void showEvent(QShowEvent *e) override;
  bool qwsEvent(QWSEvent *e) override;

public:
  // --- skin element lists, one per skins.conf key -----------------------------------------
  SkinElement prev, play, stop, next, posbar, pos_A, pos_B, EQ, plistwin, lrcwin, eqwin,
      btn_plistwin, btn_lrcwin, btn_eqwin, EQE_BTN, plist_Bar, audio3d_btn, bassbooster, exit_win,
      H_win, mini_win, OP_BTN, shuf_BTN, repeat_BTN, plist_BTN, VL_BTN, showlrc_BTN, textcodec_BTN,
      font_BTN, color_BTN, presets_BTN, EQ_BTN_ZERO, EQ_Preamp, H_pos_A, H_pos_B, H_prev, H_play,
      H_stop, H_next, H_posbar, H_VL_BTN, H_WIN_T, H_WIN_B, H_exit_win, V_win_btn, H_mini_win,
      title_win, time_win, play_display_win, eqalzr_win, lrcwin_show;
  // The element of a skins.conf key, null for an unknown key.
  SkinElement *element(const QString &key);
  static const QStringList &verticalKeys();   // "prev" .. "lrcwin_show", in load order
  static const QStringList &horizontalKeys(); // "H_pos_A" .. "H_mini_win"

  int mwinH = 0, mwinY = 0;
  QPoint pressPos;

  // --- images, rebuilt with the skin (QImage: all drawing happens off screen) ----------------
  QImage skinPixmap;        // the sheet
  QImage wallpaperPixmap;   // horizontal-mode background
  QImage miniButtonsPixmap; // mini_btn.png
  QImage miniMainPixmap;    // mini_main.png
  // xmaslights_l1..3 / _r1..3: read with the skin, not at each time sample (each missing one
  // would cost a dozen file lookups a second while playing)
  QImage decorationLeft[3], decorationRight[3];
  QImage titlePixmap;        // "title_win" w x h
  QImage timePixmap;         // "time_win" field 6 x field 7
  QImage playlistLinePixmap; // 220 x 15
  QImage eqCurvePixmap;      // "eqalzr_win" field 6 x field 7
  QImage posbarPixmap;       // "posbar" w x h
  QImage hPosbarPixmap;      // "H_posbar" w x h
  QImage eqKnobPixmap;       // 12 x 81, one equalizer column
  QImage lyricsPixmap;       // "lrcwin_show" w x h
  QImage rotatePixmap;       // 320 x 240, horizontal-mode composition
  // What the painters of those images are set up with.
  QFont titleFont;
  QColor titlePen;
  QFont playlistLineFont;
  QColor playlistLinePen;

  // --- texts ----------------------------------------------------------------------------------
  QString baseDir;
  QString skinName;
  QString titleText;
  QString noticeText;
  QString wallpaperPath;
  // The wallpaper and the mini strip's pictures are read when their mode is first drawn at the
  // current density: a window that never shows them does not hold them.
  bool wallpaperLoaded = false;
  bool miniPicturesLoaded = false;

  QPushButton *lyricColourButton = nullptr;
  QPushButton *lyricBackColourButton = nullptr;
  int noticeTicks = 0;

  QPopupMenu *fontMenu = nullptr;
  QPopupMenu *mainMenu = nullptr;
  QPopupMenu *playlistMenu = nullptr;
  QPopupMenu *skinMenu = nullptr;
  QPopupMenu *speedMenu = nullptr;
  QPopupMenu *replayGainMenu = nullptr;

  QTimer *titleTimer = nullptr;
  bool titleAsleep = false; // the tick stopped itself: nothing in the title area moves

  // Title scrolling.
  int titleWidth = -1;
  int titleOffset = 0;
  int titleStep = -1;

  // Touch state and drawing caches.
  int eqDragIndex = -1;
  bool eqZeroPressed = false;
  int pressedElement = -1;
  int volumeDrag = -1;
  int positionDrag = -1;
  int playlistBarDrag = -1;
  int positionPercent = -1;
  int lastDrawnA = -1, lastDrawnB = -1; // the two further last-drawn markers
  int lastPosition = 0;

  // Lyrics.
  QColor lyricsColour{0xC8, 0xC8, 0xC8};
  QColor lyricsBackColour{0xC8, 0xC8, 0xC8};
  int lyricLineHeight = 28;
  LyricsReader lyrics; // lyricLines and lyricTags
  int currentLyricLine = 0;
  double lyricScroll = 0;
  int lastLyricLine = 0;
  QString lyricsSong;             // the song whose lyrics are loaded
  int lyricsShiftMs = 0;          // its remembered shift (positive: lines come earlier)
  bool lyricsAreChapters = false; // the lines are the song's chapters, not lyrics
  double plainScroll = 0;         // pixels a plain page is scrolled down
  int lyricsDragFrom = -1;        // press position along the lines, -1 while no press on the lyrics
  int lyricsDragOffset = 0;       // pixels the lines follow the stylus
  bool lyricsDragging = false;
  SongClock songClock; // the engine's song time, carried between polls
  struct {
    QImage sung; // the band with its timed rows wholly sung, turned as the window shows it
    QList<LyricsSweepRow> rows;
    int mode = 0; // the window mode the pictures were drawn for
  } lyricsSweep;
  QTimer *sweepTimer = nullptr; // made at the first word-timed line

  XMMSPlayer *controller = nullptr;
  QTimer *checkTimer = nullptr;

  QStringList playlistModel;

  // True once the close sequence (volume saved, engine ended) has run.
  bool closing() const { return closeSequenceRan; }

private:
  void runCloseSequence();
  bool leaveTimingForClose();
  bool closeSequenceRan = false;
  bool closeFromOutside = false;
  void playFirstEntry();
  QStringList timingSource(const QString &songPath);
  void showTimingProgress();
  void endTiming();
  qint64 songTimeMs() const;
  QList<LyricLine> timingView; // the lines being timed, as the band shows them
  QString timingTitle;         // the title before the mode began
  // The "Save lyrics" entry saveId of menu is offered only while lyrics are being timed.
  void offerSaveWhileTiming(QPopupMenu *menu, int saveId);
  void buildMenus();
  void buildSoundMenus();
  void readStartSettings(); // key codes, sltfwd, wallpaper (construction)
  void composeVertical(QPainter &p);
  void composeHorizontal(QPainter &p);
  void composeMini(QPainter &p);
  void applyMiniMask();
  // The view (view.cpp).
  void updateView();
  QSize logicalViewSize() const;
  QSize frameLogicalSize() const;
  void followOrientation();
  // The shell (a phone's or a kiosk, filling the screen) or the user (maximised) decides the
  // window's size; a mode change then fits the new picture into the window as it is.
  bool shellSizesWindow() const;
  void hideColourButtons();
  void placeColourButtons();
  int sizeFactor() const;
  // Every off-screen image and skin picture again at `ratio` device pixels per logical pixel.
  void makeImages(qreal ratio);
  void makeHorizontalImages();
  QString sheetPath; // the sheet of the current skin
  QTransform view, viewInverse;
  bool sizingWindow = false;   // the window resizes itself for a mode change
  int modeBeforeLandscape = 0; // the mode a landscape window replaced by the horizontal one

  QImage frame{kLogicalWidth, kLogicalHeight, QImage::Format_RGB32};
  mutable QImage frame1x; // frameImage() of a denser frame, made when asked for
  bool frameStale = true; // the next paint recomposes the whole frame
};
