// Dialogs over a window the shell sizes (a phone's or a kiosk shell: full screen, or maximised)
// keep the size their layout gives them. Some such shells hand a dialog the whole screen after
// centring it at its own size; stretched from there it runs off the screen, its buttons with it.
#pragma once

#include <QObject>

class DialogBounds : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
};
