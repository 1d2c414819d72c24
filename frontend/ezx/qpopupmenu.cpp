#include "qpopupmenu.h"

#include <QApplication>

QPopupMenu::QPopupMenu(QWidget *parent, const char *name) : QMenu(parent) {
  if (name)
    setObjectName(QString::fromLatin1(name));
  // The menus are built once at start-up, before a shell or a "Size" choice decides the
  // window's scale, and the toolkit only hands a changed class font to widgets that exist while
  // its event loop runs: each opening takes the menu font of the moment, so the rows are laid
  // out at the current scale.
  connect(this, &QMenu::aboutToShow, this, [this] {
    const QFont current = QApplication::font(this);
    if (font() != current)
      setFont(current);
  });
}

int QPopupMenu::insertItem(const QString &text, int id) {
  if (id < 0 || actions.contains(id))
    id = nextFreeId--;
  QAction *action = addAction(text);
  actions.insert(id, action);
  order.append(id);
  connect(action, &QAction::triggered, this, [this, id] { emit activated(id); });
  return id;
}

int QPopupMenu::insertItem(const QString &text, QMenu *submenu, int id) {
  if (id < 0 || actions.contains(id))
    id = nextFreeId--;
  submenu->setTitle(text);
  QAction *action = addMenu(submenu);
  actions.insert(id, action);
  order.append(id);
  return id;
}

void QPopupMenu::insertSeparator() { addSeparator(); }

void QPopupMenu::removeItem(int id) {
  QAction *a = actions.take(id);
  if (!a)
    return;
  order.removeAll(id);
  removeAction(a);
  delete a;
}

void QPopupMenu::setItemChecked(int id, bool on) {
  if (QAction *a = actions.value(id)) {
    a->setCheckable(true);
    a->setChecked(on);
  }
}

bool QPopupMenu::isItemChecked(int id) const {
  QAction *a = actions.value(id);
  return a && a->isChecked();
}

void QPopupMenu::setItemEnabled(int id, bool on) {
  if (QAction *a = actions.value(id))
    a->setEnabled(on);
}

bool QPopupMenu::isItemEnabled(int id) const {
  QAction *a = actions.value(id);
  return a && a->isEnabled();
}

QString QPopupMenu::text(int id) const {
  QAction *a = actions.value(id);
  return a ? a->text() : QString();
}

int QPopupMenu::idAt(int index) const {
  return (index >= 0 && index < order.size()) ? order[index] : -1;
}
