// Stylus input, the release half: finishes what the press started (drags end and take effect,
// taps on buttons go to buttonClick()), by window mode. Also the two loop helpers behind the
// lyrics band and the A-B buttons.
#include "mainface.h"

#include "elementid.h"
#include "touchtable.h"

#include "xmmsPlayer.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

using namespace touchzones;

// --- release -------------------------------------------------------------------------------

// The lyric line current now repeats: from its start to the next line's start. The last line
// has no next line; its loop ends a second before the song does, so the poll still sees it.
// Only lyrics on screen can be tapped: without them there is no line to loop.
static void loopLyricLine(MainFace &w) {
  if (w.timing.active()) { // timing lyrics: the tap gives the waiting line its time
    w.stampLine();
    return;
  }
  if (!lyricsLoaded || !showLyrics || w.lyrics.isPlain())
    return; // a plain page has no timed line
  const QList<LyricLine> &lines = w.lyrics.lyricLines;
  const int current = w.currentLyricLine;
  if (current < 0 || current >= lines.size())
    return;
  const double start = lines.at(current).time;
  if (start >= LyricsReader::lastLineTime)
    return; // the closing entry is no line of text
  const bool last =
      current + 1 >= lines.size() || lines.at(current + 1).time >= LyricsReader::lastLineTime;
  const int a = static_cast<int>(start);
  const int b = last ? (w.controller ? w.controller->songLength() / 1000 - 1 : a)
                     : static_cast<int>(lines.at(current + 1).time);
  if (b <= a)
    return; // too short to loop; the song just goes on
  pointA = a;
  pointB = b;
  abRepeat = true;
  if (w.controller)
    w.controller->seek(pointA * 1000);
}

// A-B marks: the first tap on A notes the time shown, the tap on B closes the loop and starts it.
static void toggleLoopPoint(MainFace &w, int id) {
  if (id == PointAElement) {
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
  const SkinElement &e = windowMode == HorizontalMode
                             ? (id == PointAElement ? w.H_pos_A : w.H_pos_B)
                             : (id == PointAElement ? w.pos_A : w.pos_B);
  w.drawElement(id, windowMode == HorizontalMode ? e.w() : e.h());
}

static void seekToPercent(MainFace &w, int percent) {
  if (w.controller)
    w.controller->seek(
        static_cast<int>(static_cast<qint64>(w.controller->songLength()) * percent / 100));
}

// The release of a button both full modes have: the transport, the A-B marks, exit and the
// mini window. `in`: released on the button that was pressed. Returns false for other ids.
static bool releaseShared(MainFace &w, int id, bool in) {
  switch (id) {
  case PrevElement:
  case NextElement:
    w.drawElement(id, 0);
    if (in)
      w.buttonClick(id);
    return true;
  case PlayElement:
    if (in)
      abRepeat = false;
    w.buttonClick(PlayElement); // released outside or not, play still toggles
    w.drawElement(playingFlag ? PlayingElement : PlayElement, 0);
    return true;
  case StopElement:
    w.drawElement(StopElement, 0);
    if (in)
      w.buttonClick(StopElement);
    w.drawElement(PlayElement, 0);
    return true;
  case PointAElement:
  case PointBElement:
    if (in)
      toggleLoopPoint(w, id);
    return true;
  case ExitElement:
    if (in)
      w.buttonClick(ExitElement);
    return true;
  case MiniElement:
    if (in) {
      w.titleTimer->stop();
      windowMode = MiniMode;
      w.repaintAll();
      w.buttonClick(MiniElement);
    }
    return true;
  default:
    return false;
  }
}

// The release of the vertical mode's own buttons: the panel tabs, the sound switches, the turn
// to the horizontal mode and the panel buttons drawn pressed.
static void releaseVerticalButton(MainFace &w, int id, bool in) {
  switch (id) {
  case PlaylistTabElement:
    if (in && winEnabled) {
      playlistPanelShown = true;
      lyricsPanelShown = false;
      equalizerPanelShown = false;
      w.drawElement(PlaylistTabElement, 0);
      w.buttonClick(PlaylistTabElement);
    }
    break;
  case LyricsTabElement:
  case EqualizerTabElement:
    if (in) {
      if (winEnabled)
        playlistPanelShown = false;
      lyricsPanelShown = id == LyricsTabElement;
      equalizerPanelShown = id == EqualizerTabElement;
      w.drawElement(id, 0);
      w.buttonClick(id);
    }
    break;
  case Audio3dElement:
  case BassBoosterElement:
    if (in) {
      bool &flag = id == Audio3dElement ? audio3dOn : bassBoosterOn;
      flag = !flag;
      w.drawElement(id, 0);
      w.buttonClick(id);
    }
    break;
  case RotateElement:
    if (in) {
      windowMode = HorizontalMode;
      hPanelsHidden = false; // the horizontal window always opens with its panels in
      w.lyricColourButton->hide();
      w.lyricBackColourButton->hide();
      w.repaintAll();
      w.buttonClick(RotateElement);
    }
    break;
  case OpenFolderElement:
  case PresetsElement:
  case PlaylistsElement:
    // Drawn released wherever the stylus is lifted; a release on the button also runs it
    // (the panel rules).
    w.drawElement(id, 0);
    break;
  case FontButtonElement:
    w.copyToWindow(w.skinPixmap, w.font_BTN.sx(), w.font_BTN.sy(), w.font_BTN.w(), w.font_BTN.h(),
                   w.font_BTN.x(), w.font_BTN.y());
    break;
  default:
    break; // 6, 7, 8, 9: the panel rules, or nothing
  }
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
      w.mainMenu->popup(w.mapToGlobal(w.toWindow(QPoint(2, 30))));
    }
  } else {
    const int id = w.pressedElement;
    const TouchButton *b =
        findButton({kVerticalTop, kPlaylistPanel, kLyricsPanel, kEqualizerPanel}, id);
    const bool in = b && b->element && inside(w.*b->element, pos);
    if (!releaseShared(w, id, in))
      releaseVerticalButton(w, id, in);
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
        w.drawElement(PlayingElement, 0);
        w.plistPOSClick(line);
      }
    } else if (inside(w.shuf_BTN, pos)) {
      shuffleOn = !shuffleOn;
      w.drawElement(ShuffleElement, 0);
      w.buttonClick(ShuffleElement);
    } else if (inside(w.repeat_BTN, pos)) {
      repeatOn = !repeatOn;
      w.drawElement(RepeatElement, 0);
      w.buttonClick(RepeatElement);
    } else if (inside(w.OP_BTN, pos)) {
      w.drawElement(OpenFolderElement, 0);
      w.buttonClick(OpenFolderElement);
    } else if (inside(w.plist_BTN, pos)) {
      w.drawElement(PlaylistsElement, 0);
      w.buttonClick(PlaylistsElement);
    }
  } else if (lyricsPanelShown) {
    const SkinElement &win = w.lrcwin;
    const int middle = win.y() + win.h() / 2;
    const bool dragged = w.lyricsDragging;
    w.lyricsDragFrom = -1;
    if (dragged) {
      w.finishLyricsDrag(); // seeks to the line left at the centre
    } else if (inside(w.textcodec_BTN, pos)) {
      lyricsBig5 = !lyricsBig5;
      w.drawElement(TextCodecElement, 0);
      w.buttonClick(TextCodecElement);
    } else if (inside(w.showlrc_BTN, pos)) {
      showLyrics = !showLyrics;
      w.drawElement(ShowLyricsElement, 0);
      w.buttonClick(ShowLyricsElement);
    } else if (inside(w.font_BTN, pos)) {
      if (w.fontMenu)
        w.fontMenu->popup(w.mapToGlobal(w.toWindow(QPoint(w.font_BTN.x() + w.font_BTN.w(), 100))));
    } else if ((21 <= x && x <= 199 && middle - 20 < y && y < middle + 20) ||
               (w.timing.active() && inside(w.lrcwin_show, pos))) {
      loopLyricLine(w); // while timing, anywhere on the lines stamps
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
      w.drawElement(EqualizerResetElement, 0);
      w.eqZeroPressed = false;
    } else if (inside(w.EQE_BTN, pos)) {
      equalizerOn = !equalizerOn;
      w.drawElement(EqualizerOnElement, 0);
      w.buttonClick(EqualizerOnElement);
    } else if (inside(w.presets_BTN, pos)) {
      w.drawElement(PresetsElement, 0);
      w.buttonClick(PresetsElement);
    }
  }
}

void MainFace::mouseReleaseEvent(QMouseEvent *e) {
  const QPoint pos = toLogical(e->position());
  const int y = pos.y();

  switch (windowMode) {
  case MiniMode: {
    const MiniButton *b = miniButton(pressedElement);
    const bool in = b && b->zone.contains(pos);
    switch (pressedElement) {
    case PrevElement:
    case NextElement:
      if (in) {
        drawElement(pressedElement, 0);
        buttonClick(pressedElement);
      }
      break;
    case PlayElement:
      if (in) {
        buttonClick(PlayElement);
        drawElement(playingFlag ? PlayingElement : PlayElement, 0);
      }
      break;
    case ExitElement:
      if (in)
        buttonClick(ExitElement);
      break;
    case RotateElement:
      if (in) {
        windowMode = VerticalMode;
        titleTimer->start(200);
        clearMask();
        repaintAll();
        buttonClick(RotateElement);
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
      const TouchButton *b = findButton({kHorizontal}, pressedElement);
      const bool in = b && inside(this->*b->element, pos);
      if (!releaseShared(*this, pressedElement, in) && pressedElement == RotateElement && in) {
        windowMode = VerticalMode;
        repaintAll();
        buttonClick(RotateElement);
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
    } else if (lyricsDragging) {
      finishLyricsDrag();
    } else if (kHorizontalLyricsBand.contains(pos)) {
      loopLyricLine(*this);
    }
    lyricsDragFrom = -1;
    pressedElement = -1;
    break;

  default:
    break;
  }
}
