// The 240 x 320 frame image: every drawing lands in it and the paint event copies it to the
// screen. The full composition of each window mode lives here.
#include "mainface.h"

#include "logical.h"
#include "xmmsPlayer.h"

#include <QBitmap>
#include <QPaintEvent>
#include <QPainter>
#include <QTransform>

namespace {

// An element's normal picture at its place.
void plain(QPainter &p, const QImage &sheet, const SkinElement &e) {
  sheetCopy(p, sheet, e.sx(), e.sy(), e.w(), e.h(), e.x(), e.y());
}

// A vertical-mode toggle: its "on" picture lies directly below the normal one.
void toggle(QPainter &p, const QImage &sheet, const SkinElement &e, bool on) {
  sheetCopy(p, sheet, e.sx(), e.sy() + (on ? e.h() : 0), e.w(), e.h(), e.x(), e.y());
}

// A horizontal-mode toggle: its "on" picture lies to the right.
void hToggle(QPainter &p, const QImage &sheet, const SkinElement &e, bool on) {
  sheetCopy(p, sheet, e.sx() + (on ? e.w() : 0), e.sy(), e.w(), e.h(), e.x(), e.y());
}

// A panel background: the full-width sheet rows of the strip, drawn at its y.
void strip(QPainter &p, const QImage &sheet, const SkinElement &e) {
  sheetCopy(p, sheet, 0, e.sy(), kLogicalWidth, e.h(), 0, e.y());
}
} // namespace

bool MainFace::saveFrame(const QString &path) const {
  const QImage full = frameImage();
  const QImage shown = windowMode == MiniMode ? full.copy(0, 0, kLogicalWidth, kMiniHeight) : full;
  return shown.save(path, "PNG");
}

void MainFace::copyToWindow(const QImage &source, int sx, int sy, int w, int h, int x, int y) {
  if (w <= 0 || h <= 0 || source.isNull())
    return;
  QPainter p(&frame);
  sheetCopy(p, source, sx, sy, w, h, x, y);
  p.end();
  showArea(QRect(x, y, w, h));
}

void MainFace::repaintAll() {
  frameStale = true;
  update();
}

void MainFace::showEvent(QShowEvent *) {
  updateView();
  frameStale = true;
}

void MainFace::composeFrame() {
  if (skinPixmap.isNull())
    return;
  frameStale = false;
  positionPercent = -1;
  lastDrawnA = -1;
  lastDrawnB = -1;
  QPainter p(&frame);
  switch (windowMode) {
  case MiniMode:
    composeMini(p);
    p.end();
    applyMiniMask();
    if (lyricsLoaded && showLyrics)
      drawLyrics();
    break;
  case HorizontalMode:
    composeHorizontal(p);
    wakeTitle(); // the composition covered the title area
    break;
  default:
    composeVertical(p);
    p.end();
    wakeTitle();
    // The parts that keep their own state draw themselves over the composition.
    drawPlayStatus(-1);
    if (playlistPanelShown && !playlistModel.isEmpty()) {
      const int position = controller ? controller->position() : 0;
      drawPlaylistBar(position * 100 / static_cast<int>(playlistModel.size()), false);
    }
    if (lyricsPanelShown && lyricsLoaded)
      drawLyrics();
    if (equalizerPanelShown)
      drawEqCurve();
    break;
  }
}

void MainFace::composeMini(QPainter &p) {
  makeMiniImages();
  QImage strip = logicalImage(kLogicalWidth, kMiniHeight, frame.devicePixelRatio());
  QPainter s(&strip);
  if (!miniMainPixmap.isNull())
    s.drawImage(0, 0, miniMainPixmap);
  const QImage &b = miniButtonsPixmap;
  sheetCopy(s, b, 40, 40, 20, 18, 220, 0); // exit
  sheetCopy(s, b, 20, 40, 20, 18, 200, 0); // restore
  sheetCopy(s, b, 0, 40, 20, 18, 180, 0);  // third small button
  if (playingFlag)
    sheetCopy(s, b, 21, 0, 21, 20, 26, 3);
  else
    sheetCopy(s, b, 0, 0, 21, 20, 26, 3);
  sheetCopy(s, b, 42, 0, 20, 20, 5, 3);  // previous
  sheetCopy(s, b, 62, 0, 20, 20, 47, 3); // next
  s.end();
  p.drawImage(0, 0, strip);
  showArea(QRect(0, 0, kLogicalWidth, 25));
  // The lyrics row below the strip is opened by the mask only while lyrics are shown; it gets
  // its own background at once, not the rows of the vertical picture left in the frame.
  if (lyricsLoaded && showLyrics) {
    sheetCopy(p, skinPixmap, 0, 463, kLogicalWidth, 23, 0, 25);
    showArea(QRect(0, 25, kLogicalWidth, 23));
  } else if (shellSizesWindow()) {
    // No mask cuts the row away in a window the shell sizes: it is margin.
    p.fillRect(QRect(0, 25, kLogicalWidth, 23), marginColour);
    showArea(QRect(0, 25, kLogicalWidth, 23));
  }
}

void MainFace::applyMiniMask() {
  QImage shape(skinDir() + (lyricsLoaded && showLyrics ? "/mask_d.png" : "/mask.png"));
  // A window the shell sizes has nothing of the desktop to show around the strip: its margins
  // are painted in the skin's background, not cut away.
  if (shape.isNull() || shellSizesWindow()) {
    clearMask();
    return;
  }
  if (view.isIdentity()) {
    setMask(QBitmap::fromImage(shape));
    return;
  }
  // The shape is drawn for one device pixel per logical pixel; it follows the picture's scale
  // and place in the window.
  const QRect target = toWindow(QRect(QPoint(0, 0), shape.size()));
  const QBitmap scaled = QBitmap::fromImage(
      shape.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
  setMask(QRegion(scaled).translated(target.topLeft()));
}

void MainFace::composeVertical(QPainter &p) {
  const QImage &sheet = skinPixmap;
  sheetCopy(p, sheet, 0, mwinY, kLogicalWidth, mwinH, 0, 0);

  plain(p, sheet, exit_win);
  plain(p, sheet, H_win);
  plain(p, sheet, mini_win);
  plain(p, sheet, prev);
  sheetCopy(p, sheet, play.sx() + (playingFlag ? play.w() : 0), play.sy(), play.w(), play.h(),
            play.x(), play.y());
  plain(p, sheet, stop);
  plain(p, sheet, next);
  toggle(p, sheet, audio3d_btn, audio3dOn);
  toggle(p, sheet, bassbooster, bassBoosterOn);
  toggle(p, sheet, pos_A, pointAMarked);
  toggle(p, sheet, pos_B, pointBMarked);
  plain(p, sheet, VL_BTN);
  sheetCopy(p, sheet, VL_BTN.field(6), VL_BTN.field(7), VL_BTN.field(8), VL_BTN.field(9),
            VL_BTN.x() + volumePercent * volumeTrack / 100, VL_BTN.y());

  if (playlistPanelShown) {
    strip(p, sheet, plistwin);
    plain(p, sheet, OP_BTN);
    plain(p, sheet, plist_BTN);
    toggle(p, sheet, shuf_BTN, shuffleOn);
    toggle(p, sheet, repeat_BTN, repeatOn);
  }
  if (lyricsPanelShown) {
    strip(p, sheet, lrcwin);
    toggle(p, sheet, showlrc_BTN, showLyrics);
    toggle(p, sheet, textcodec_BTN, lyricsBig5);
    plain(p, sheet, font_BTN);
    plain(p, sheet, color_BTN);
  }
  if (equalizerPanelShown) {
    strip(p, sheet, eqwin);
    // The ten band columns and the preamp, as the equalizer sliders draw them.
    const int w = EQ.w(), h = EQ.h(), kx = EQ.field(6), ky = EQ.field(7), kw = EQ.field(8),
              kh = EQ.field(9);
    // A column is built off screen; one bigger than any screen is a broken skin, and drawing
    // it would ask for gigabytes (the knob view refuses the same sizes).
    for (int i = 0; i < 10 && w > 0 && h > 0 && w <= 4096 && h <= 4096; ++i) {
      const int colX = EQ.x() + i * EQ.field(10), v = eqValues[i];
      QImage column(w, h, QImage::Format_RGB32);
      column.fill(Qt::black);
      QPainter c(&column);
      sheetCopy(c, sheet, colX, EQ.y(), w, h, 0, 0);
      if (v < 0)
        sheetCopy(c, sheet, EQ.sx() + (v / 2 + 13) * w, EQ.sy(), w, h, 0, 0);
      else
        sheetCopy(c, sheet, EQ.sx() + (v / 2) * w, EQ.sy() + h, w, h, 0, 0);
      sheetCopy(c, sheet, kx, ky + kh, kw, kh, 1, h / 2 - kh / 2 - v);
      c.end();
      p.drawImage(colX, EQ.y(), column);
    }
    plain(p, sheet, EQ_Preamp);
    sheetCopy(p, sheet, kx, ky + kh, kw, kh, EQ_Preamp.x() + 2,
              EQ_Preamp.y() + EQ_Preamp.h() / 2 - kh / 2 - eqValues[10]);
    plain(p, sheet, presets_BTN);
    plain(p, sheet, EQ_BTN_ZERO);
    toggle(p, sheet, EQE_BTN, equalizerOn);
  }

  toggle(p, sheet, btn_lrcwin, lyricsPanelShown);
  toggle(p, sheet, btn_eqwin, equalizerPanelShown);
  if (winEnabled)
    toggle(p, sheet, btn_plistwin, playlistPanelShown);
  showArea(QRect(0, 0, kLogicalWidth, kLogicalHeight));
}

void MainFace::composeHorizontal(QPainter &p) {
  const QImage &sheet = skinPixmap;
  makeHorizontalImages();
  rotatePixmap.fill(Qt::black);
  {
    QPainter r(&rotatePixmap);
    sheetCopy(r, wallpaperPixmap, 0, 0, kLogicalHeight, kLogicalWidth, 0, 0);
  }
  p.drawImage(0, 0, turned(rotatePixmap));

  if (hPanelsHidden) {
    // Where the panel slide leaves the strips (its last step of 3 pixels below 65); the buttons
    // ride on them, out of sight.
    const int slidOut = 63;
    sheetCopy(p, sheet, H_WIN_T.sx(), H_WIN_T.sy(), H_WIN_T.w(), H_WIN_T.h(), -slidOut,
              H_WIN_T.y());
    sheetCopy(p, sheet, H_WIN_B.sx(), H_WIN_B.sy(), H_WIN_B.w(), H_WIN_B.h(), H_WIN_B.x() + slidOut,
              H_WIN_B.y());
    showArea(QRect(0, 0, kLogicalWidth, kLogicalHeight));
    return;
  }
  plain(p, sheet, H_WIN_T);
  plain(p, sheet, H_WIN_B);
  plain(p, sheet, H_exit_win);
  plain(p, sheet, V_win_btn);
  plain(p, sheet, H_mini_win);
  plain(p, sheet, H_prev);
  sheetCopy(p, sheet, H_play.sx(), H_play.sy() - (playingFlag ? H_play.h() : 0), H_play.w(),
            H_play.h(), H_play.x(), H_play.y());
  plain(p, sheet, H_stop);
  plain(p, sheet, H_next);
  hToggle(p, sheet, H_pos_A, pointAMarked);
  hToggle(p, sheet, H_pos_B, pointBMarked);
  sheetCopy(p, sheet, H_VL_BTN.sx(), H_VL_BTN.sy(), H_VL_BTN.w(), H_VL_BTN.h() + 4, H_VL_BTN.x(),
            H_VL_BTN.y());
  sheetCopy(p, sheet, H_VL_BTN.field(6), H_VL_BTN.field(7), H_VL_BTN.field(8), H_VL_BTN.field(9),
            H_VL_BTN.x(), H_VL_BTN.y() + hVolumeTrack * (100 - volumePercent) / 100);
  showArea(QRect(0, 0, kLogicalWidth, kLogicalHeight));
}
