// The phone's icon resources, served from our own small pictures in <share>/icons.
#pragma once

#include <QPixmap>
#include <QString>

class RES_ICON_Reader {
public:
  // name is a phone icon name such as "FMMS_Personal_Folder_S.gif" (a shortened extension such
  // as ".g" is accepted too); the picture is scaled to w x h when both are positive. An unknown
  // name gives a null pixmap.
  QPixmap getIcon(const char *name, int w = 32, int h = 32);
  // Path of the picture that stands for a phone icon name, empty when there is none.
  static QString iconFile(const QString &name);
};
