#include "filebrowser.h"

#include "res_icon_reader.h"
#include "uiscale.h"

#include <QDir>
#include <QFileInfo>

FileBrowser::FileBrowser(const QString &filter, QWidget *parent, const char *name)
    : QListBox(parent, name), filters(filter.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
  connect(this, &QListBox::highlighted, this, &FileBrowser::itemHighlighted);
  // Entering a folder rebuilds the list, so it waits until the list has finished handling the
  // tap or key that asked for it.
  // A request made on a listing that has been replaced meanwhile is dropped.
  connect(this, &QListBox::selected, this, [this](int row) {
    QMetaObject::invokeMethod(
        this,
        [this, row, listing = listings] {
          if (listing == listings)
            itemSelected(row);
        },
        Qt::QueuedConnection);
  });
  connect(this, &QListBox::clicked, this, [this](QListBoxItem *it) {
    const int row = index(it);
    QMetaObject::invokeMethod(
        this,
        [this, row, listing = listings] {
          if (listing == listings)
            itemClicked(item(row));
        },
        Qt::QueuedConnection);
  });
}

bool FileBrowser::setDir(const QString &path) {
  QDir lister(path);
  if (path.isEmpty() || !lister.exists() || !lister.isReadable())
    return false;
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  if (canonical.isEmpty())
    return false;
  lister.setSorting(QDir::Name | QDir::IgnoreCase);
  const QStringList dirs = lister.entryList(QDir::AllDirs | QDir::Hidden | QDir::NoDotAndDotDot);
  lister.setNameFilters(filters);
  const QStringList files = lister.entryList(QDir::Files | QDir::Hidden);

  RES_ICON_Reader icons;
  const int side = uiPx(32);
  const QPixmap folderIcon = icons.getIcon("FMMS_Personal_Folder_S.gif", side, side);
  const QPixmap fileIcon = icons.getIcon("FMMS_Personal_File_S.gif", side, side);
  clear();
  if (!QDir(canonical).isRoot())
    insertItem(folderIcon, QStringLiteral(".."));
  for (const QString &d : dirs)
    insertItem(folderIcon, d);
  for (const QString &f : files)
    insertItem(fileIcon, f);
  dir = canonical;
  ++listings;
  return true;
}

QString FileBrowser::pathOf(const QString &text) const {
  return dir.endsWith(QLatin1Char('/')) ? dir + text : dir + "/" + text;
}

QString FileBrowser::entryPath(int index) const {
  QListBoxItem *it = item(index);
  return it ? pathOf(it->text()) : QString();
}

void FileBrowser::itemHighlighted(int index) {
  QListBoxItem *it = item(index);
  if (!it)
    return;
  const QString path = pathOf(it->text());
  const QFileInfo info(path);
  if (info.isFile()) {
    file = path;
    emit picked(path);
    emit isFilePicked(true);
  } else {
    file.clear();
    emit isFilePicked(false);
  }
  if (info.isDir()) {
    picked_ = path;
    emit dirpicked(path);
    emit isDirPicked(true);
  } else {
    picked_.clear();
    emit isDirPicked(false);
  }
  // At the root every entry counts as a folder to pick.
  if (QDir(dir).isRoot()) {
    picked_ = dir + it->text();
    emit isDirPicked(true);
  }
}

void FileBrowser::itemSelected(int index) {
  QListBoxItem *it = item(index);
  if (!it)
    return;
  const QString path = pathOf(it->text());
  const QFileInfo info(path);
  if (info.isDir())
    setDir(path);
  if (info.isFile()) {
    file = path;
    emit isFileClicked(true);
  } else {
    emit isFileClicked(false);
  }
}

void FileBrowser::itemClicked(QListBoxItem *it) {
  if (!it)
    return;
  const QString path = pathOf(it->text());
  if (QFileInfo(path).isDir())
    setDir(path);
}

void FileBrowser::itemdoubleClicked(QListBoxItem *it) { itemClicked(it); }
