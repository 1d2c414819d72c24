#include "res_icon_reader.h"

#include "sharedir.h"

#include <QFileInfo>
#include <QImage>

namespace {
struct IconName {
  const char *phoneName; // without extension
  const char *file;
};
const IconName kIcons[] = {
    {"FMMS_Personal_Folder_S", "folder.png"},
    {"FMMS_Personal_File_S", "file.png"},
    {"FMMS_File_Audio_S", "audio.png"},
    {"FMMS_Personal_MMC_SD", "card.png"},
    {"General_Selecte_Box_Selected", "check_on.png"},
    {"General_Selecte_Box_Unselected", "check_off.png"},
    {"CST_Menu", "button_menu.png"},
    {"CST_Back", "button_back.png"},
    {"CST_Button", "button.png"},
};
} // namespace

QString RES_ICON_Reader::iconFile(const QString &name) {
  QString base = name;
  int dot = base.lastIndexOf('.');
  if (dot > 0)
    base.truncate(dot);
  for (const IconName &icon : kIcons)
    if (base == QLatin1String(icon.phoneName)) {
      QString path = veloraShareDir() + "/icons/" + icon.file;
      return QFileInfo::exists(path) ? path : QString();
    }
  return QString();
}

QPixmap RES_ICON_Reader::getIcon(const char *name, int w, int h) {
  QString path = iconFile(QString::fromLatin1(name ? name : ""));
  if (path.isEmpty())
    return QPixmap();
  QImage image(path);
  if (image.isNull())
    return QPixmap();
  if (w > 0 && h > 0 && image.size() != QSize(w, h))
    image = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return QPixmap::fromImage(image);
}
