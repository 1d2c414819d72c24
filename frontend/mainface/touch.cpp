// Stylus input: every on-screen control is a rectangle of the skin, hit-tested afresh from the
// element table at each event. A press gives the pressed picture and remembers what it started
// (a pending button, or a drag of the volume knob, the position knob, the playlist scroll bar or
// an equalizer slider); the release finishes it and hands finished taps to buttonClick(). The
// rules differ by window mode. Also the two equalizer helpers the sliders use.
#include "mainface.h"

#include "xmmsPlayer.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

// Inclusive rectangle of a fixed zone.
struct Zone {
  int x0, x1, y0, y1;
  bool contains(const QPoint &p) const {
    return x0 <= p.x() && p.x() <= x1 && y0 <= p.y() && p.y() <= y1;
  }
};

const Zone kMainMenuZone{3, 59, 1, 29};
const Zone kInertZone{25, 99, 45, 58};
const Zone kHorizontalLyricsBand{91, 149, 1, 319};
const Zone kMiniDragStrip{81, 159, 1, 59};

// Mini-mode buttons: hit zone, and for the three small ones the pressed picture on the mini
// button sheet and where it is drawn.
struct MiniButton {
  int id;
  Zone zone;
  int sx, sy, w, h, x, y;
};
const MiniButton kMiniButtons[] = {
    {22, {219, 239, 1, 19}, 40, 60, 20, 18, 220, 0},
    {23, {183, 199, 1, 19}, 20, 60, 20, 18, 180, 0},
    {24, {201, 217, 1, 19}, 0, 60, 20, 18, 200, 0},
    {0, {6, 24, 4, 22}, 0, 0, 0, 0, 0, 0},
    {1, {27, 45, 4, 22}, 0, 0, 0, 0, 0, 0},
    {4, {48, 66, 4, 22}, 0, 0, 0, 0, 0, 0},
};

const MiniButton *miniButton(int id) {
  for (const MiniButton &b : kMiniButtons)
    if (b.id == id)
      return &b;
  return nullptr;
}

bool inside(const SkinElement &e, const QPoint &p) { return e.contains(p.x(), p.y()); }

} // namespace

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
  const QPoint pos = e->position().toPoint();
  const int x = pos.x(), y = pos.y();

  switch (windowMode) {
  case MiniMode:
    for (const MiniButton &b : kMiniButtons) {
      if (!b.zone.contains(pos))
        continue;
      if (b.id >= 22)
        copyToWindow(miniButtonsPixmap, b.sx, b.sy, b.w, b.h, b.x, b.y);
      else if (b.id == 1)
        drawElement(playingFlag ? 1 : 2, 20); // the state the button will switch to
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
        drawElement(0, prev.h());
        pressedElement = 0;
      } else if (inside(play, pos)) {
        drawElement(playingFlag ? 1 : 2, play.h());
        pressedElement = 1;
      } else if (inside(stop, pos)) {
        drawElement(3, stop.h());
        pressedElement = 3;
      } else if (inside(next, pos)) {
        drawElement(4, next.h());
        pressedElement = 4;
      } else if (kInertZone.contains(pos)) {
        pressedElement = 9; // consumed: nothing behind it is hit
      } else if (inside(btn_plistwin, pos)) {
        pressedElement = 11;
      } else if (inside(btn_lrcwin, pos)) {
        pressedElement = 12;
      } else if (inside(btn_eqwin, pos)) {
        pressedElement = 13;
      } else if (inside(exit_win, pos)) {
        pressedPicture(exit_win);
        pressedElement = 22;
      } else if (inside(mini_win, pos)) {
        pressedPicture(mini_win);
        pressedElement = 23;
      } else if (inside(H_win, pos)) {
        pressedPicture(H_win);
        pressedElement = 24;
      } else if (inside(audio3d_btn, pos)) {
        drawElement(16, audio3d_btn.h());
        pressedElement = 16;
      } else if (inside(bassbooster, pos)) {
        drawElement(17, bassbooster.h());
        pressedElement = 17;
      } else if (inside(pos_A, pos)) {
        pressedElement = 20;
      } else if (inside(pos_B, pos)) {
        pressedElement = 21;
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
        pressedElement = 6;
      } else if (inside(repeat_BTN, pos)) {
        pressedElement = 7;
      } else if (inside(OP_BTN, pos)) {
        drawElement(5, OP_BTN.h());
        pressedElement = 5;
      } else if (inside(plist_BTN, pos)) {
        drawElement(25, plist_BTN.h());
        pressedElement = 25;
      }
    } else if (lyricsPanelShown) {
      if (inside(textcodec_BTN, pos))
        drawElement(18, textcodec_BTN.h());
      else if (inside(showlrc_BTN, pos))
        drawElement(19, showlrc_BTN.h());
      else if (inside(font_BTN, pos))
        copyToWindow(skinPixmap, font_BTN.sx(), font_BTN.sy() + font_BTN.h(), font_BTN.w(),
                     font_BTN.h(), font_BTN.x(), font_BTN.y());
    } else if (equalizerPanelShown) {
      const int spacing = EQ.field(10);
      const bool inSliderRows = eqCentreY - 21 < y && y < eqCentreY + 31;
      if (inside(presets_BTN, pos)) {
        drawElement(10, presets_BTN.h());
        pressedElement = 10;
      } else if (inside(EQE_BTN, pos)) {
        drawElement(8, EQE_BTN.h());
        pressedElement = 8;
      } else if (spacing > 0 && EQ.x() < x && x < EQ.x() + 10 * spacing && inSliderRows) {
        const int band = (x - EQ.x()) / spacing;
        setEqValue(band, eqCentreY - y + 5);
        eqDragIndex = band;
      } else if (inside(EQ_BTN_ZERO, pos)) {
        drawElement(15, EQ_BTN_ZERO.h());
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
      drawElement(0, H_prev.w());
      pressedElement = 0;
    } else if (inside(H_play, pos)) {
      drawElement(playingFlag ? 1 : 2, H_play.w());
      pressedElement = 1;
    } else if (inside(H_stop, pos)) {
      drawElement(3, H_stop.w());
      pressedElement = 3;
    } else if (inside(H_next, pos)) {
      drawElement(4, H_next.w());
      pressedElement = 4;
    } else if (inside(H_exit_win, pos)) {
      pressedPicture(H_exit_win);
      pressedElement = 22;
    } else if (inside(H_mini_win, pos)) {
      pressedPicture(H_mini_win);
      pressedElement = 23;
    } else if (inside(V_win_btn, pos)) {
      pressedPicture(V_win_btn);
      pressedElement = 24;
    } else if (inside(H_pos_A, pos)) {
      pressedElement = 20;
    } else if (inside(H_pos_B, pos)) {
      pressedElement = 21;
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
    }
    break;
  }

  default:
    break;
  }
  pressPos = pos;
}

// --- move ----------------------------------------------------------------------------------

void MainFace::mouseMoveEvent(QMouseEvent *e) {
  const QPoint pos = e->position().toPoint();
  const int x = pos.x(), y = pos.y();

  switch (windowMode) {
  case MiniMode:
    if (kMiniDragStrip.contains(pos)) {
      const QPoint global = e->globalPosition().toPoint();
      move(global.x() - pressPos.x(), global.y() - pressPos.y());
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
    } else if (!lyricsPanelShown && equalizerPanelShown && eqDragIndex >= 0) {
      const int v = std::clamp(eqCentreY - y + 5, -25, 25);
      noticeText = " EQ " + QString::number(eqDragIndex) + " == " + QString::number(v) + " db";
      noticeTicks = 5;
      setEqValue(eqDragIndex, v);
    }
    break;

  case HorizontalMode:
    if (positionDrag < 0) {
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

// --- release -------------------------------------------------------------------------------

// The lyric line current now repeats: from its start to the next line's start. The last line
// has no next line; its loop ends with the song.
static void loopLyricLine(MainFace &w) {
  if (!lyricsLoaded)
    return;
  const QList<LyricLine> &lines = w.lyrics.lyricLines;
  const int current = w.currentLyricLine;
  if (current < 0 || current >= lines.size())
    return;
  const double start = lines.at(current).time;
  if (start >= LyricsReader::lastLineTime)
    return; // the closing entry is no line of text
  const bool last =
      current + 1 >= lines.size() || lines.at(current + 1).time >= LyricsReader::lastLineTime;
  pointA = static_cast<int>(start);
  pointB = last ? (w.controller ? w.controller->songLength() / 1000 : pointA)
                : static_cast<int>(lines.at(current + 1).time);
  abRepeat = true;
  if (w.controller)
    w.controller->seek(pointA * 1000);
}

// A-B marks: the first tap on A notes the time shown, the tap on B closes the loop and starts it.
static void toggleLoopPoint(MainFace &w, int id) {
  if (id == 20) {
    pointAMarked = !pointAMarked;
    if (pointAMarked)
      pointA = currentSecond;
  } else {
    pointBMarked = !pointBMarked;
    if (!pointBMarked) {
      abRepeat = false;
    } else {
      pointB = currentSecond;
      abRepeat = true;
      if (w.controller)
        w.controller->seek(pointA * 1000);
    }
  }
  const SkinElement &e = windowMode == HorizontalMode ? (id == 20 ? w.H_pos_A : w.H_pos_B)
                                                      : (id == 20 ? w.pos_A : w.pos_B);
  w.drawElement(id, windowMode == HorizontalMode ? e.w() : e.h());
}

static void seekToPercent(MainFace &w, int percent) {
  if (w.controller)
    w.controller->seek(
        static_cast<int>(static_cast<qint64>(w.controller->songLength()) * percent / 100));
}

static void releaseVertical(MainFace &w, const QPoint &pos) {
  const int x = pos.x(), y = pos.y();

  // Step 1: what the press started in the window's top part.
  if (w.pressedElement == -1) {
    if (w.volumeDrag >= 0) {
      w.volumeDrag = -1;
      if (volumeTrack > 0) {
        const int v = std::min(std::max(x - w.VL_BTN.x() - 7, 0), volumeTrack - 1);
        w.drawVolume(v * 100 / volumeTrack, false);
      }
    } else if (w.positionDrag >= 0) {
      w.positionDrag = -1; // first, so that the knob is drawn released
      const int travel = w.posbar.w() - 32;
      if (playingFlag && travel > 0) {
        w.drawPosition(std::clamp(x - w.posbar.x() - 15, 0, travel) * 100 / travel, true);
        seekToPercent(w, w.positionPercent);
      }
    } else if (kMainMenuZone.contains(pos) && w.mainMenu) {
      w.mainMenu->popup(w.mapToGlobal(QPoint(2, 30)));
    }
  } else {
    switch (w.pressedElement) {
    case 0:
      w.drawElement(0, 0);
      if (inside(w.prev, pos))
        w.buttonClick(0);
      break;
    case 1:
      if (inside(w.play, pos))
        abRepeat = false;
      w.buttonClick(1); // released outside or not, play still toggles
      w.drawElement(playingFlag ? 2 : 1, 0);
      break;
    case 3:
      w.drawElement(3, 0);
      if (inside(w.stop, pos))
        w.buttonClick(3);
      w.drawElement(1, 0);
      break;
    case 4:
      w.drawElement(4, 0);
      if (inside(w.next, pos))
        w.buttonClick(4);
      break;
    case 11:
      if (inside(w.btn_plistwin, pos) && winEnabled) {
        playlistPanelShown = true;
        lyricsPanelShown = false;
        equalizerPanelShown = false;
        w.drawElement(11, 0);
        w.buttonClick(11);
      }
      break;
    case 12:
    case 13:
      if (inside(w.pressedElement == 12 ? w.btn_lrcwin : w.btn_eqwin, pos)) {
        if (winEnabled)
          playlistPanelShown = false;
        lyricsPanelShown = w.pressedElement == 12;
        equalizerPanelShown = w.pressedElement == 13;
        w.drawElement(w.pressedElement, 0);
        w.buttonClick(w.pressedElement);
      }
      break;
    case 16:
    case 17:
      if (inside(w.pressedElement == 16 ? w.audio3d_btn : w.bassbooster, pos)) {
        bool &flag = w.pressedElement == 16 ? audio3dOn : bassBoosterOn;
        flag = !flag;
        w.drawElement(w.pressedElement, 0);
        w.buttonClick(w.pressedElement);
      }
      break;
    case 20:
    case 21:
      if (inside(w.pressedElement == 20 ? w.pos_A : w.pos_B, pos))
        toggleLoopPoint(w, w.pressedElement);
      break;
    case 22:
      if (inside(w.exit_win, pos))
        w.buttonClick(22);
      break;
    case 23:
      if (inside(w.mini_win, pos)) {
        w.titleTimer->stop();
        windowMode = MiniMode;
        w.repaintAll();
        w.buttonClick(23);
      }
      break;
    case 24:
      if (inside(w.H_win, pos)) {
        windowMode = HorizontalMode;
        w.lyricColourButton->hide();
        w.lyricBackColourButton->hide();
        w.repaintAll();
        w.buttonClick(24);
      }
      break;
    default:
      break; // 5, 6, 7, 8, 9, 10, 25: the panel rules below, or nothing
    }
    w.pressedElement = -1;
  }

  // Step 2: the shown panel's rule, by the release point alone.
  if (playlistPanelShown) {
    const SkinElement &bar = w.plist_Bar;
    if (w.playlistBarDrag >= 0) {
      w.playlistBarDrag = -1;
      w.drawPlaylistBar(std::clamp(y - bar.y() - 10, 0, std::max(bar.h() - 20, 0)), false);
    } else if (11 <= x && x <= 209 && bar.y() < y && y < bar.y() + bar.h()) {
      // Lines are 20 pixels high; a tap below the last entry plays nothing.
      const int line = firstPlaylistLine + (y - bar.y()) / 20;
      if (line < w.playlistModel.size()) {
        w.drawElement(2, 0);
        w.plistPOSClick(line);
      }
    } else if (inside(w.shuf_BTN, pos)) {
      shuffleOn = !shuffleOn;
      w.drawElement(6, 0);
      w.buttonClick(6);
    } else if (inside(w.repeat_BTN, pos)) {
      repeatOn = !repeatOn;
      w.drawElement(7, 0);
      w.buttonClick(7);
    } else if (inside(w.OP_BTN, pos)) {
      w.drawElement(5, 0);
      w.buttonClick(5);
    } else if (inside(w.plist_BTN, pos)) {
      w.drawElement(25, 0);
      w.buttonClick(25);
    }
  } else if (lyricsPanelShown) {
    const SkinElement &win = w.lrcwin;
    const int middle = win.y() + win.h() / 2;
    if (inside(w.textcodec_BTN, pos)) {
      lyricsBig5 = !lyricsBig5;
      w.drawElement(18, 0);
      w.buttonClick(18);
    } else if (inside(w.showlrc_BTN, pos)) {
      showLyrics = !showLyrics;
      w.drawElement(19, 0);
      w.buttonClick(19);
    } else if (inside(w.font_BTN, pos)) {
      if (w.fontMenu)
        w.fontMenu->popup(w.mapToGlobal(QPoint(w.font_BTN.x() + w.font_BTN.w(), 100)));
    } else if (21 <= x && x <= 199 && middle - 20 < y && y < middle + 20) {
      loopLyricLine(w);
    }
  } else if (equalizerPanelShown) {
    if (w.eqDragIndex >= 0 && w.eqDragIndex <= 10) {
      w.setEqValue(w.eqDragIndex, eqValues[w.eqDragIndex]);
      w.sendEq(w.eqDragIndex);
      w.eqDragIndex = -1;
    } else if (w.eqDragIndex == 11) {
      w.setEqValue(11, eqValues[10]);
      w.sendEq(11);
      w.eqDragIndex = -1;
    } else if (w.eqZeroPressed) {
      if (inside(w.EQ_BTN_ZERO, pos)) {
        for (int band = 0; band < 10; ++band)
          w.setEqValue(band, 0);
        w.sendEq(-1); // the preamp keeps its value
      }
      w.drawElement(15, 0);
      w.eqZeroPressed = false;
    } else if (inside(w.EQE_BTN, pos)) {
      equalizerOn = !equalizerOn;
      w.drawElement(8, 0);
      w.buttonClick(8);
    } else if (inside(w.presets_BTN, pos)) {
      w.drawElement(10, 0);
      w.buttonClick(10);
    }
  }
}

void MainFace::mouseReleaseEvent(QMouseEvent *e) {
  const QPoint pos = e->position().toPoint();
  const int y = pos.y();

  switch (windowMode) {
  case MiniMode: {
    const MiniButton *b = miniButton(pressedElement);
    const bool in = b && b->zone.contains(pos);
    switch (pressedElement) {
    case 0:
    case 4:
      if (in) {
        drawElement(pressedElement, 0);
        buttonClick(pressedElement);
      }
      break;
    case 1:
      if (in) {
        buttonClick(1);
        drawElement(playingFlag ? 2 : 1, 0);
      }
      break;
    case 22:
      if (in)
        buttonClick(22);
      break;
    case 24:
      if (in) {
        windowMode = VerticalMode;
        titleTimer->start(200);
        clearMask();
        repaintAll();
        buttonClick(24);
      }
      break;
    default:
      break; // a button released outside keeps its pressed picture until the next paint
    }
    pressedElement = -1;
    break;
  }

  case VerticalMode:
    releaseVertical(*this, pos);
    break;

  case HorizontalMode:
    if (pressedElement >= 0) {
      switch (pressedElement) {
      case 0:
        drawElement(0, 0);
        if (inside(H_prev, pos))
          buttonClick(0);
        break;
      case 1:
        if (inside(H_play, pos))
          abRepeat = false;
        buttonClick(1); // released outside or not, play still toggles
        drawElement(playingFlag ? 2 : 1, 0);
        break;
      case 3:
        drawElement(3, 0);
        if (inside(H_stop, pos))
          buttonClick(3);
        drawElement(1, 0);
        break;
      case 4:
        drawElement(4, 0);
        if (inside(H_next, pos))
          buttonClick(4);
        break;
      case 20:
      case 21:
        if (inside(pressedElement == 20 ? H_pos_A : H_pos_B, pos))
          toggleLoopPoint(*this, pressedElement);
        break;
      case 22:
        if (inside(H_exit_win, pos))
          buttonClick(22);
        break;
      case 23:
        if (inside(H_mini_win, pos)) {
          windowMode = MiniMode;
          titleTimer->stop();
          repaintAll();
          buttonClick(23);
        }
        break;
      case 24:
        if (inside(V_win_btn, pos)) {
          windowMode = VerticalMode;
          repaintAll();
          buttonClick(24);
        }
        break;
      default:
        break;
      }
    } else if (positionDrag >= 0) {
      positionDrag = -1;
      const int travel = H_posbar.h() - 32;
      if (playingFlag && travel > 0) {
        drawPosition(std::clamp(y - H_posbar.y() - 15, 0, travel) * 100 / travel, true);
        seekToPercent(*this, 100 - positionPercent); // the horizontal bar runs the other way
      }
    } else if (volumeDrag >= 0) {
      volumeDrag = -1;
      if (hVolumeTrack > 0) {
        const int v = std::min(std::max(y - H_VL_BTN.y() - 7, 0), hVolumeTrack);
        drawVolume(v * 100 / hVolumeTrack, false);
      }
    } else if (kHorizontalLyricsBand.contains(pos)) {
      loopLyricLine(*this);
    }
    pressedElement = -1;
    break;

  default:
    break;
  }
}
