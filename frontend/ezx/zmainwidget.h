// Base of the program's top-level window. Key and focus-in events are first offered, in the
// phone's raw form, to qwsEvent(); what it does not take goes to the usual Qt handlers.
#pragma once

#include "qwsevent.h"

#include <QWidget>

class QKeyEvent;

class ZMainWidget : public QWidget {
  Q_OBJECT
public:
  ZMainWidget(QWidget *parent = nullptr, const char *name = nullptr, Qt::WindowFlags flags = {});

  // Today's key as the phone numbered it: printable keys keep their Latin-1 code, special keys
  // (Escape, Enter, arrows, F1 ...) are 0x1000 + their low bits, so Enter is 4101, the arrows
  // 4114 to 4117 and F(n+1) 4144 + n. Return is taken as the phone's Enter (4101).
  static std::uint16_t phoneKeyCode(int qtKey);

protected:
  // Returns true when the event was handled; the toolkit then does nothing more with it.
  virtual bool qwsEvent(QWSEvent *event);
  bool event(QEvent *event) override;
};
