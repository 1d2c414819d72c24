// Raw window-system events as the phone delivered them to a top-level widget, before the toolkit's
// own key handling: key events in the phone's 16-bit key numbering and focus changes.
#pragma once

#include <cstdint>

struct QWSEvent {
  enum Type { NoEvent = 0, Key = 1, Focus = 2 };
  explicit QWSEvent(int t) : type(t) {}
  virtual ~QWSEvent() = default;
  int type;
};

struct QWSKeyEvent : QWSEvent {
  enum Flag : std::uint8_t { Pressed = 1, AutoRepeat = 2 };
  QWSKeyEvent(std::uint16_t code, bool press, bool repeat, std::uint16_t unicodeValue = 0)
      : QWSEvent(Key), keycode(code),
        flags(static_cast<std::uint8_t>((press ? Pressed : 0) | (repeat ? AutoRepeat : 0))),
        unicode(unicodeValue) {}
  bool isPress() const { return flags & Pressed; }
  bool isAutoRepeat() const { return flags & AutoRepeat; }

  std::uint16_t keycode;
  std::uint8_t flags; // bit 0 pressed, bit 1 auto-repeat
  std::uint16_t unicode;
};

struct QWSFocusEvent : QWSEvent {
  explicit QWSFocusEvent(bool gets) : QWSEvent(Focus), getFocus(gets) {}
  bool getFocus;
};
