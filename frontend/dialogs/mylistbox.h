// The playlist editor's list, in three modes: the playlist itself (0), the playlist with a check
// box per song to pick songs to remove (-1), and a folder of the storage with a check box per
// playable file to pick songs to add (1). At the internal storage's root one more item leads to
// the memory card.
#pragma once

#include "util_listbox.h"

#include <QFileInfoList>
#include <QPixmap>
#include <QString>

class PlayList;

class My_ListBox : public UTIL_ListBox {
  Q_OBJECT
public:
  My_ListBox(PlayList *owner, QWidget *parent);

  // Row and icon sizes of the design; the list draws them at the window's scale.
  static constexpr int cellHeightPx = 24;
  static constexpr int iconPx = 20;

  int mode() const { return mode_; }
  // 0 and -1: one item per entry of the owner; 1: browse the internal storage root.
  void setMode(int mode);
  // Lists dir (every file and folder but hidden ones, folders first, by name ignoring case) and
  // enters add mode. An unreadable folder leaves the list as it was; returns whether it listed.
  bool browse(const QString &dir);
  // 1 ticks everything that can be ticked, -1 clears every tick, 0 inverts them.
  void setChecks(int value);

  QString currentDir() const { return dirPath; }
  bool atInternalRoot() const { return internalRoot; }
  // The listed folder's entries; item i shows entry i (the memory card item comes after them).
  const QFileInfoList &entries() const { return listing; }
  // Whether item row is the memory card item of the internal storage root.
  bool isCardItem(int row) const;
  // Whether the item can carry a tick in the current mode, and whether it does.
  bool isTickable(int row) const;
  bool isChecked(int row) const;

  void paintCell(QPainter *p, int row, int col) override;

public slots:
  void doItemClicked(QListBoxItem *item);

  // The internal storage root; one that cannot be listed still shows the memory-card item.
  void browseInternalRoot();

private:
  void rebuild(int items);
  void toggle(int row);
  QString elided(const QString &text, int x) const;

  PlayList *owner;
  int mode_ = 0;
  QString dirPath;
  QFileInfoList listing;
  bool internalRoot = false;
  bool cardShown = false;
  int icon, cellHeight_; // iconPx and cellHeightPx at the scale the list was made at
  QPixmap folderIcon, fileIcon, audioIcon, cardIcon, checkedIcon, uncheckedIcon;
};
