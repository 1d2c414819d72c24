// Stylus input: every on-screen control is a rectangle of the skin, hit-tested afresh from the
// element table at each event. A press gives the pressed picture and remembers what it started
// (a pending button, or a drag of the volume knob, the position knob, the playlist scroll bar or
// an equalizer slider); the release finishes it and hands finished taps to buttonClick(). The
// rules differ by window mode. This file holds the press and the move; touchrelease.cpp the
// release. Also the two equalizer helpers the sliders use.
#include "mainface.h"

#include "elementid.h"
#include "touchtable.h"

#include "xmmsPlayer.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

using namespace touchzones;

// --- equalizer helpers ---------------------------------------------------------------------

void MainFace::setEqValue(int index, int value) {
  if (index <= 10) {
    if (index < 0)
      return;
    eqValues[index] = value;
  } else {
    eqValues[10] = value; // every index past the bands names the preamp
    index = 11;
  }
  drawEqSlider(index);
}

void MainFace::sendEq(int index) {
  drawEqCurve();
  if (!controller)
    return;
  if (index == -1) {
    for (int band = 0; band < 10; ++band)
      controller->setBand(band, static_cast<float>(eqValues[band]));
  } else if (index >= 0 && index <= 9) {
    controller->setBand(index, static_cast<float>(eqValues[index]));
  } else if (index > 9) {
    controller->setPreamp(static_cast<float>(eqValues[10]));
  }
}

// --- press ---------------------------------------------------------------------------------

namespace {

// The first button of the table under the point takes the press: its pressed look is shown and,
// unless it acts on its release alone, it is kept in pressedElement. Returns it, or null.
const TouchButton *pressButton(MainFace &w, std::span<const TouchButton> table, const QPoint &pos,
                               bool horizontal) {
  for (const TouchButton &b : table) {
    if (!hits(w, b, pos))
      continue;
    if (b.element) {
      const SkinElement &e = w.*b.element;
      if (b.look == PressLook::Drawn) {
        // Play shows the picture it will switch to.
        const int picture =
            b.id == PlayElement ? (playingFlag ? PlayElement : PlayingElement) : b.id;
        w.drawElement(picture, horizontal ? e.w() : e.h());
      } else if (b.look == PressLook::Sheet && !horizontal) {
        w.copyToWindow(w.skinPixmap, e.sx(), e.sy() + e.h(), e.w(), e.h(), e.x(), e.y());
      } else if (b.look == PressLook::Sheet && !hPanelsHidden) {
        // With the panel strips slid out the buttons still react, without a pressed picture.
        w.copyToWindow(w.skinPixmap, e.sx() + e.w(), e.sy(), e.w(), e.h(), e.x(), e.y());
      }
    }
    if (b.holds)
      w.pressedElement = b.id;
    return &b;
  }
  return nullptr;
}

void pressMini(MainFace &w, const QPoint &pos) {
  w.makeMiniImages();
  for (const MiniButton &b : kMiniButtons) {
    if (!b.zone.contains(pos))
      continue;
    if (b.id >= ExitElement)
      w.copyToWindow(w.miniButtonsPixmap, b.sx, b.sy, b.w, b.h, b.x, b.y);
    else if (b.id == PlayElement)
      w.drawElement(playingFlag ? PlayElement : PlayingElement, 20); // what it will switch to
    else
      w.drawElement(b.id, 20);
    w.pressedElement = b.id;
    return;
  }
}

// The sliders of the window's top part: the volume track and the position knob.
void pressVerticalSliders(MainFace &w, const QPoint &pos) {
  const int x = pos.x(), y = pos.y();
  const SkinElement &vl = w.VL_BTN, &bar = w.posbar;
  if (vl.x() + 7 <= x && x < vl.x() + volumeTrack + 7 && vl.y() < y && y < vl.y() + vl.h()) {
    w.volumeDrag = 0;
    w.drawVolume((x - vl.x() - 7) * 100 / volumeTrack, true);
    return;
  }
  // The knob's hit zone follows where it was last drawn.
  const int travel = bar.w() - 32;
  const int k = w.positionPercent * travel / 100;
  if (k + 10 <= x && x < k + 39 && bar.y() < y && y < bar.y() + bar.h() && playingFlag &&
      travel > 0) {
    w.positionDrag = x - k - 10;
    w.drawPosition(std::clamp((x - bar.x() - 15) * 100 / travel, 0, 100), true);
  }
}

void pressEqualizerPanel(MainFace &w, const QPoint &pos) {
  if (pressButton(w, kEqualizerPanel, pos, false))
    return;
  const int x = pos.x(), y = pos.y();
  const int spacing = w.EQ.field(10);
  const bool inSliderRows = eqCentreY - 21 < y && y < eqCentreY + 31;
  if (spacing > 0 && w.EQ.x() < x && x < w.EQ.x() + 10 * spacing && inSliderRows) {
    const int band = (x - w.EQ.x()) / spacing;
    w.setEqValue(band, eqCentreY - y + 5);
    w.eqDragIndex = band;
  } else if (inside(w.EQ_BTN_ZERO, pos)) {
    w.drawElement(EqualizerResetElement, w.EQ_BTN_ZERO.h());
    w.eqZeroPressed = true;
  } else if (23 <= x && x <= 33 && inSliderRows) {
    w.setEqValue(11, eqCentreY - y + 5);
    w.eqDragIndex = 11;
  }
}

void pressVertical(MainFace &w, const QPoint &pos) {
  // Step 1: the controls of the window's top part (the main menu zone is served on release).
  if (!kMainMenuZone.contains(pos) && !pressButton(w, kVerticalTop, pos, false))
    pressVerticalSliders(w, pos);

  // Step 2: the panel shown below; only one is served.
  if (playlistPanelShown) {
    if (inside(w.plist_Bar, pos))
      w.playlistBarDrag = 0;
    else
      pressButton(w, kPlaylistPanel, pos, false);
  } else if (lyricsPanelShown) {
    if (!pressButton(w, kLyricsPanel, pos, false) && inside(w.lrcwin_show, pos) && lyricsLoaded &&
        showLyrics)
      w.lyricsDragFrom = pos.y(); // a tap or, once it moves far enough, a drag of the lines
  } else if (equalizerPanelShown) {
    pressEqualizerPanel(w, pos);
  }
}

void pressHorizontal(MainFace &w, const QPoint &pos) {
  if (pressButton(w, kHorizontal, pos, true))
    return;
  const int x = pos.x(), y = pos.y();
  const SkinElement &bar = w.H_posbar, &vl = w.H_VL_BTN;
  const bool inBand = kHorizontalLyricsBand.contains(pos) && lyricsLoaded && showLyrics;
  if (hPanelsHidden) {
    // The position bar and the volume knob are slid out with their strips; where they were
    // is wallpaper, and a stale knob position there would seek or change the volume.
    if (inBand)
      w.lyricsDragFrom = x;
  } else if (bar.x() <= x && x < bar.x() + bar.w() && bar.y() + 15 < y &&
             y < bar.y() + bar.h() - 15) {
    const int travel = bar.h() - 32;
    if (playingFlag && travel > 0) {
      // The whole bar grabs: the knob jumps to the stylus and the drag's release seeks.
      // The marker only needs to be non-negative; it holds the stylus offset along the bar.
      w.positionDrag = y - bar.y() - 15;
      w.drawPosition(std::clamp((y - bar.y() - 15) * 100 / travel, 0, 100), true);
    }
  } else if (vl.x() <= x && x < vl.x() + vl.w() && vl.y() + 7 < y && y < vl.y() + vl.h() - 7) {
    if (hVolumeTrack > 0) {
      w.volumeDrag = 0;
      w.drawVolume(std::min((y - vl.y() - 7) * 100 / hVolumeTrack, 100), true);
    }
  } else if (inBand) {
    w.lyricsDragFrom = x; // the turned lines stack along the screen's x
  }
}

} // namespace

void MainFace::mousePressEvent(QMouseEvent *e) {
  const QPoint pos = toLogical(e->position());
  switch (windowMode) {
  case MiniMode:
    pressMini(*this, pos);
    break;
  case VerticalMode:
    pressVertical(*this, pos);
    break;
  case HorizontalMode:
    pressHorizontal(*this, pos);
    break;
  default:
    break;
  }
  pressPos = pos;
}

// --- move ----------------------------------------------------------------------------------

// A press on the lyrics becomes a drag once the stylus has moved more than this many pixels
// along the lines; less is still a tap.
constexpr int kLyricsDragThreshold = 8;

static void followLyricsDrag(MainFace &w, int along) {
  const int moved = along - w.lyricsDragFrom;
  if (!w.lyricsDragging && std::abs(moved) <= kLyricsDragThreshold)
    return;
  w.lyricsDragging = true;
  w.dragLyrics(moved);
}

void MainFace::mouseMoveEvent(QMouseEvent *e) {
  const QPoint pos = toLogical(e->position());
  const int x = pos.x(), y = pos.y();

  switch (windowMode) {
  case MiniMode:
    if (kMiniDragStrip.contains(pos)) {
      const QPoint global = e->globalPosition().toPoint(), at = toWindow(pressPos);
      move(global.x() - at.x(), global.y() - at.y());
    }
    break;

  case VerticalMode:
    if (volumeDrag >= 0) {
      if (volumeTrack > 0) {
        const int v = std::min(std::max(x - VL_BTN.x() - 7, 0), volumeTrack - 1);
        drawVolume(v * 100 / volumeTrack, true);
      }
    } else if (positionDrag >= 0 && playingFlag) {
      const int travel = posbar.w() - 32;
      if (travel > 0)
        drawPosition(std::clamp(x - posbar.x() - 15, 0, travel) * 100 / travel, true);
    }
    if (playlistPanelShown) {
      // The knob follows the stylus as its release places it: on the phone's skins (bar at
      // y 179, 120 high) this is the fixed range 189 to 289; other skins get their own bar's.
      if (playlistBarDrag >= 0)
        drawPlaylistBar(std::clamp(y - plist_Bar.y() - 10, 0, std::max(plist_Bar.h() - 20, 0)),
                        true);
    } else if (lyricsPanelShown && lyricsDragFrom >= 0) {
      followLyricsDrag(*this, y);
    } else if (!lyricsPanelShown && equalizerPanelShown && eqDragIndex >= 0) {
      const int v = std::clamp(eqCentreY - y + 5, -25, 25);
      noticeText = " EQ " + QString::number(eqDragIndex) + " == " + QString::number(v) + " db";
      noticeTicks = 5;
      wakeTitle();
      setEqValue(eqDragIndex, v);
    }
    break;

  case HorizontalMode:
    if (lyricsDragFrom >= 0) {
      followLyricsDrag(*this, x);
    } else if (positionDrag < 0) {
      if (volumeDrag >= 0 && hVolumeTrack > 0) {
        const int v = std::min(std::max(y - H_VL_BTN.y() - 7, 0), hVolumeTrack);
        drawVolume(v * 100 / hVolumeTrack, true);
      }
    } else if (playingFlag) {
      const int travel = H_posbar.h() - 32;
      if (travel > 0)
        drawPosition(std::clamp(y - H_posbar.y() - 15, 0, travel) * 100 / travel, true);
    }
    break;

  default:
    break;
  }
}
