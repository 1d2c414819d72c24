// Qt 2's pop-up menu with integer item ids, on QMenu: the program's menus are addressed by id
// ("Font    " is item 5 of the main menu) and report activated(id).
#pragma once

#include <QMap>
#include <QMenu>
#include <type_traits>

class QPopupMenu : public QMenu {
  Q_OBJECT
public:
  explicit QPopupMenu(QWidget *parent = nullptr, const char *name = nullptr);

  // id < 0 picks a fresh negative id. Returns the item's id.
  int insertItem(const QString &text, int id = -1);
  int insertItem(const QString &text, QMenu *submenu, int id = -1);
  // An item that calls member of receiver when chosen (and still reports activated(id)).
  template <class Obj, class Slot>
  requires std::is_member_function_pointer_v<Slot>
  int insertItem(const QString &text, Obj *receiver, Slot member) {
    int id = insertItem(text);
    connect(actions.value(id), &QAction::triggered, receiver, member);
    return id;
  }
  void insertSeparator();
  // Takes the item out of the menu; an unknown id is skipped.
  void removeItem(int id);

  void setCheckable(bool on) { checkable = on; }
  bool isCheckable() const { return checkable; }
  void setItemChecked(int id, bool on);
  bool isItemChecked(int id) const;
  void setItemEnabled(int id, bool on);
  bool isItemEnabled(int id) const;
  QString text(int id) const;
  int idAt(int index) const;
  int count() const { return static_cast<int>(actions.size()); }
  QAction *findItem(int id) const { return actions.value(id); }

signals:
  void activated(int id);

private:
  QMap<int, QAction *> actions;
  QList<int> order;
  int nextFreeId = -2;
  bool checkable = false;
};
