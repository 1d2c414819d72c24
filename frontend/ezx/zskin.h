// The phone's current skin: named pictures for list boxes and buttons.
#pragma once

#include <QPixmap>
#include <QString>

class ZSkin {
public:
  static ZSkin *skin();
  // A named picture of the skin ("FMMS_Personal_Folder_S.g", "CST_Menu", ...); null when the
  // skin has no such picture.
  QPixmap getPixmap(const QString &name) const;
  QPixmap pixmap(const QString &name) const { return getPixmap(name); }
};
