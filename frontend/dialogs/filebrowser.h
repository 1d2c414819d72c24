// A list of one folder: ".." (except at the file-system root), its sub-folders, then the files
// that match a name filter, each with a folder or file icon. Moving the highlight reports what
// is under it; selecting or tapping a folder enters it.
#pragma once

#include "qlistbox.h"

#include <QString>
#include <QStringList>

class FileBrowser : public QListBox {
  Q_OBJECT
public:
  // filter: wild-card patterns separated by blanks ("*.m3u", "*.mp3 *.ogg").
  FileBrowser(const QString &filter, QWidget *parent = nullptr, const char *name = nullptr);

  // Shows path; an unreadable or missing folder leaves everything as it was. Returns whether the
  // folder was listed.
  bool setDir(const QString &path);
  QString currentDir() const { return dir; }
  QString currentFile() const { return file; }
  QString pickedDir() const { return picked_; }
  // current directory + "/" + the entry's text (no doubled separator at the root).
  QString entryPath(int index) const;

public slots:
  void itemHighlighted(int index);
  void itemSelected(int index);
  void itemClicked(QListBoxItem *item);
  void itemdoubleClicked(QListBoxItem *item);

signals:
  void picked(const QString &path);
  void isFilePicked(bool on);
  void isDirPicked(bool on);
  void isFileClicked(bool on);
  void dirpicked(const QString &path);

private:
  QString pathOf(const QString &text) const;

  QStringList filters;
  QString dir;
  QString file;
  QString picked_;
  unsigned listings = 0; // counts the listings shown
};
