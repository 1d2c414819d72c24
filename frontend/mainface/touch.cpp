// Stylus input: every on-screen control is a rectangle of the skin, hit-tested afresh from the
// element table at each event. A press gives the pressed picture and remembers what it started
// (a pending button, or a drag of the volume knob, the position knob, the playlist scroll bar or
// an equalizer slider); the release finishes it and hands finished taps to buttonClick(). The
// rules differ by window mode. This file holds the press and the move; touchrelease.cpp the
// release. Also the two equalizer helpers the sliders use.
#include "mainface.h"

#include "elementid.h"
#include "touchzones.h"

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

void MainFace::mousePressEvent(QMouseEvent *e) {
  const QPoint pos = toLogical(e->position());
  const int x = pos.x(), y = pos.y();

  switch (windowMode) {
  case MiniMode:
    for (const MiniButton &b : kMiniButtons) {
      if (!b.zone.contains(pos))
        continue;
      if (b.id >= 22)
        copyToWindow(miniButtonsPixmap, b.sx, b.sy, b.w, b.h, b.x, b.y);
      else if (b.id == PlayElement)
        drawElement(playingFlag ? PlayElement : PlayingElement,
                    20); // the state the button will switch to
      else
        drawElement(b.id, 20);
      pressedElement = b.id;
      break;
    }
    break;

  case VerticalMode: {
    // Step 1: the controls of the window's top part.
    if (!kMainMenuZone.contains(pos)) {
      auto pressedPicture = [&](const SkinElement &el) {
        copyToWindow(skinPixmap, el.sx(), el.sy() + el.h(), el.w(), el.h(), el.x(), el.y());
      };
      if (inside(prev, pos)) {
        drawElement(PrevElement, prev.h());
        pressedElement = PrevElement;
      } else if (inside(play, pos)) {
        drawElement(playingFlag ? PlayElement : PlayingElement, play.h());
        pressedElement = PlayElement;
      } else if (inside(stop, pos)) {
        drawElement(StopElement, stop.h());
        pressedElement = StopElement;
      } else if (inside(next, pos)) {
        drawElement(NextElement, next.h());
        pressedElement = NextElement;
      } else if (kInertZone.contains(pos)) {
        pressedElement = InertElement; // consumed: nothing behind it is hit
      } else if (inside(btn_plistwin, pos)) {
        pressedElement = PlaylistTabElement;
      } else if (inside(btn_lrcwin, pos)) {
        pressedElement = LyricsTabElement;
      } else if (inside(btn_eqwin, pos)) {
        pressedElement = EqualizerTabElement;
      } else if (inside(exit_win, pos)) {
        pressedPicture(exit_win);
        pressedElement = ExitElement;
      } else if (inside(mini_win, pos)) {
        pressedPicture(mini_win);
        pressedElement = MiniElement;
      } else if (inside(H_win, pos)) {
        pressedPicture(H_win);
        pressedElement = RotateElement;
      } else if (inside(audio3d_btn, pos)) {
        drawElement(Audio3dElement, audio3d_btn.h());
        pressedElement = Audio3dElement;
      } else if (inside(bassbooster, pos)) {
        drawElement(BassBoosterElement, bassbooster.h());
        pressedElement = BassBoosterElement;
      } else if (inside(pos_A, pos)) {
        pressedElement = PointAElement;
      } else if (inside(pos_B, pos)) {
        pressedElement = PointBElement;
      } else if (VL_BTN.x() + 7 <= x && x < VL_BTN.x() + volumeTrack + 7 && VL_BTN.y() < y &&
                 y < VL_BTN.y() + VL_BTN.h()) {
        volumeDrag = 0;
        drawVolume((x - VL_BTN.x() - 7) * 100 / volumeTrack, true);
      } else {
        // The knob's hit zone follows where it was last drawn.
        const int travel = posbar.w() - 32;
        const int k = positionPercent * travel / 100;
        if (k + 10 <= x && x < k + 39 && posbar.y() < y && y < posbar.y() + posbar.h() &&
            playingFlag && travel > 0) {
          positionDrag = x - k - 10;
          drawPosition(std::clamp((x - posbar.x() - 15) * 100 / travel, 0, 100), true);
        }
      }
    }

    // Step 2: the panel shown below; only one is served.
    if (playlistPanelShown) {
      if (inside(plist_Bar, pos)) {
        playlistBarDrag = 0;
      } else if (inside(shuf_BTN, pos)) {
        pressedElement = ShuffleElement;
      } else if (inside(repeat_BTN, pos)) {
        pressedElement = RepeatElement;
      } else if (inside(OP_BTN, pos)) {
        drawElement(OpenFolderElement, OP_BTN.h());
        pressedElement = OpenFolderElement;
      } else if (inside(plist_BTN, pos)) {
        drawElement(PlaylistsElement, plist_BTN.h());
        pressedElement = PlaylistsElement;
      }
    } else if (lyricsPanelShown) {
      if (inside(textcodec_BTN, pos))
        drawElement(TextCodecElement, textcodec_BTN.h());
      else if (inside(showlrc_BTN, pos))
        drawElement(ShowLyricsElement, showlrc_BTN.h());
      else if (inside(font_BTN, pos)) {
        copyToWindow(skinPixmap, font_BTN.sx(), font_BTN.sy() + font_BTN.h(), font_BTN.w(),
                     font_BTN.h(), font_BTN.x(), font_BTN.y());
        pressedElement =
            FontButtonElement; // so that its release, wherever it lands, draws it released
      } else if (inside(lrcwin_show, pos) && lyricsLoaded && showLyrics) {
        lyricsDragFrom = y; // a tap or, once it moves far enough, a drag of the lines
      }
    } else if (equalizerPanelShown) {
      const int spacing = EQ.field(10);
      const bool inSliderRows = eqCentreY - 21 < y && y < eqCentreY + 31;
      if (inside(presets_BTN, pos)) {
        drawElement(PresetsElement, presets_BTN.h());
        pressedElement = PresetsElement;
      } else if (inside(EQE_BTN, pos)) {
        drawElement(EqualizerOnElement, EQE_BTN.h());
        pressedElement = EqualizerOnElement;
      } else if (spacing > 0 && EQ.x() < x && x < EQ.x() + 10 * spacing && inSliderRows) {
        const int band = (x - EQ.x()) / spacing;
        setEqValue(band, eqCentreY - y + 5);
        eqDragIndex = band;
      } else if (inside(EQ_BTN_ZERO, pos)) {
        drawElement(EqualizerResetElement, EQ_BTN_ZERO.h());
        eqZeroPressed = true;
      } else if (23 <= x && x <= 33 && inSliderRows) {
        setEqValue(11, eqCentreY - y + 5);
        eqDragIndex = 11;
      }
    }
    break;
  }

  case HorizontalMode: {
    // With the panel strips slid out the buttons still react, without a pressed picture.
    auto pressedPicture = [&](const SkinElement &el) {
      if (!hPanelsHidden)
        copyToWindow(skinPixmap, el.sx() + el.w(), el.sy(), el.w(), el.h(), el.x(), el.y());
    };
    if (inside(H_prev, pos)) {
      drawElement(PrevElement, H_prev.w());
      pressedElement = PrevElement;
    } else if (inside(H_play, pos)) {
      drawElement(playingFlag ? PlayElement : PlayingElement, H_play.w());
      pressedElement = PlayElement;
    } else if (inside(H_stop, pos)) {
      drawElement(StopElement, H_stop.w());
      pressedElement = StopElement;
    } else if (inside(H_next, pos)) {
      drawElement(NextElement, H_next.w());
      pressedElement = NextElement;
    } else if (inside(H_exit_win, pos)) {
      pressedPicture(H_exit_win);
      pressedElement = ExitElement;
    } else if (inside(H_mini_win, pos)) {
      pressedPicture(H_mini_win);
      pressedElement = MiniElement;
    } else if (inside(V_win_btn, pos)) {
      pressedPicture(V_win_btn);
      pressedElement = RotateElement;
    } else if (inside(H_pos_A, pos)) {
      pressedElement = PointAElement;
    } else if (inside(H_pos_B, pos)) {
      pressedElement = PointBElement;
    } else if (hPanelsHidden) {
      // The position bar and the volume knob are slid out with their strips; where they were
      // is wallpaper, and a stale knob position there would seek or change the volume.
      if (kHorizontalLyricsBand.contains(pos) && lyricsLoaded && showLyrics)
        lyricsDragFrom = x;
    } else if (H_posbar.x() <= x && x < H_posbar.x() + H_posbar.w() && H_posbar.y() + 15 < y &&
               y < H_posbar.y() + H_posbar.h() - 15) {
      const int travel = H_posbar.h() - 32;
      if (playingFlag && travel > 0) {
        // The whole bar grabs: the knob jumps to the stylus and the drag's release seeks.
        // The marker only needs to be non-negative; it holds the stylus offset along the bar.
        positionDrag = y - H_posbar.y() - 15;
        drawPosition(std::clamp((y - H_posbar.y() - 15) * 100 / travel, 0, 100), true);
      }
    } else if (H_VL_BTN.x() <= x && x < H_VL_BTN.x() + H_VL_BTN.w() && H_VL_BTN.y() + 7 < y &&
               y < H_VL_BTN.y() + H_VL_BTN.h() - 7) {
      if (hVolumeTrack > 0) {
        volumeDrag = 0;
        drawVolume(std::min((y - H_VL_BTN.y() - 7) * 100 / hVolumeTrack, 100), true);
      }
    } else if (kHorizontalLyricsBand.contains(pos) && lyricsLoaded && showLyrics) {
      lyricsDragFrom = x; // the turned lines stack along the screen's x
    }
    break;
  }

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
