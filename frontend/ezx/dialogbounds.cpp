#include "dialogbounds.h"

#include <QDialog>
#include <QEvent>

bool DialogBounds::eventFilter(QObject *watched, QEvent *event) {
  // The show event comes before the window reaches the compositor, so the limit goes with it.
  if (event->type() != QEvent::Show)
    return false;
  auto *dialog = qobject_cast<QDialog *>(watched);
  if (!dialog || !dialog->isWindow() || !dialog->parentWidget())
    return false;
  const QWidget *over = dialog->parentWidget()->window();
  if (over->windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized))
    dialog->setMaximumSize(dialog->size().expandedTo(dialog->minimumSize()));
  return false;
}
