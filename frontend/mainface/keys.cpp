// Hardware keys, taken raw before the toolkit's own key handling. Which key does what comes from
// the key codes of the settings file; the first function whose code matches acts, so a code
// configured twice acts as the earlier function. Every key event is consumed and logged.
#include "mainface.h"

#include "xmmsPlayer.h"

#include <cstdio>

namespace {

// Volume steps of the keys. At the top a step up from 100 first falls back to 95, so the
// volume stays at 100; at the bottom a step down from 0 first rises to 5 and stays at 0.
constexpr int kVolumeStep = 5;

// The back keys of today's keyboards in the phone's numbering (Backspace, Escape).
constexpr int kKeyBack = 4099, kKeyEscape = 4096;

} // namespace

bool MainFace::qwsEvent(QWSEvent *e) {
  if (e->type == QWSEvent::Focus) {
    // The lock key's grab ends when the window gets the focus back (its release may have been
    // lost to another window meanwhile).
    if (keyboardGrabbed && static_cast<QWSFocusEvent *>(e)->getFocus) {
      releaseKeyboard();
      keyboardGrabbed = false;
    }
    return ZMainWidget::qwsEvent(e);
  }
  if (e->type != QWSEvent::Key)
    return ZMainWidget::qwsEvent(e);

  const auto *key = static_cast<QWSKeyEvent *>(e);
  const int c = key->keycode;
  const bool pressed = key->isPress(), repeat = key->isAutoRepeat();

  // Code 0 stands for keys the phone had no number for; it matches no function, even one
  // configured as 0 ("none").
  if (pressed && c != 0) {
    if (timing.active() && (c == keyEnter || c == kKeyBack || c == kKeyEscape)) {
      // Timing lyrics: Enter stamps the waiting line, Back takes the last stamp back. A held key
      // repeats nothing: each stamp is one press.
      if (!repeat)
        c == keyEnter ? stampLine() : undoStamp();
    } else if (c == keyVolUp) {
      int v = volumePercent;
      if (v > 99) {
        v = 100 - kVolumeStep;
        volumePercent = v;
      }
      switch (windowMode) {
      case MiniMode:
        // Kept within 0..100 like the knob of the other modes: the value is saved at close.
        volumePercent = qBound(0, v + kVolumeStep, 100);
        if (controller)
          controller->setVolume(volumePercent);
        break;
      case VerticalMode:
        drawVolume(v + kVolumeStep, false);
        break;
      case HorizontalMode:
        drawVolume(100 - kVolumeStep - v, false); // the slider's position is 100 - volume
        break;
      default:
        break;
      }
    } else if (c == keyVolDown) {
      int v = volumePercent;
      if (v < 1) {
        v = kVolumeStep;
        volumePercent = v;
      }
      switch (windowMode) {
      case MiniMode:
        volumePercent = qBound(0, v - kVolumeStep, 100);
        if (controller)
          controller->setVolume(volumePercent);
        break;
      case VerticalMode:
        drawVolume(v - kVolumeStep, false);
        break;
      case HorizontalMode:
        drawVolume(100 + kVolumeStep - v, false);
        break;
      default:
        break;
      }
    } else if (c == keyEnter) {
      buttonClick(1);
    } else if (c == keyUp || c == keyDown) {
      // swallowed
    } else if (c == keyLeft) {
      buttonClick(0);
    } else if (c == keyRight) {
      buttonClick(4);
    } else if (c == keySoftLeft) {
      if (windowMode == HorizontalMode) {
        hPanelsHidden = !hPanelsHidden;
        moveskins();
      }
    } else if (c == keyLine) {
      if (sltfwdEnabled && controller)
        controller->forward();
    } else if (c == keySoftRight) {
      showNormal();
    } else if (c == keyLrcEarlier) {
      shiftLyrics(500);
    } else if (c == keyLrcLater) {
      shiftLyrics(-500);
    } else if (c == keySpeedDown) {
      stepSpeed(-1);
    } else if (c == keySpeedUp) {
      stepSpeed(1);
    } else if (c == keyLock) {
      if (!keyboardGrabbed) {
        grabKeyboard();
        keyboardGrabbed = true;
      }
    }
  } else if (!pressed && c == keyLock && keyboardGrabbed) {
    releaseKeyboard();
    keyboardGrabbed = false;
  }

  std::printf("key:%d  pressed:%d  repeat:%d\n", c, pressed ? 1 : 0, repeat ? 1 : 0);
  std::fflush(stdout);
  return true;
}
