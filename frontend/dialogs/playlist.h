// The playlist editor: a full-screen dialog over a playlist file (the engine's own, ~/.xmms/
// xmms.m3u). The user picks the song to play, adds songs by ticking them in the storage folders,
// removes ticked songs, appends a saved playlist, saves the list under a new name in ~/playlist
// or deletes a saved one. A changed list is written to the file and handed to the engine by
// restarting it, since the engine reads its playlist only when it starts.
//
// playlist.cpp holds the list and its modes, playlistmenu.cpp the menu's file commands.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class My_ListBox;
class QLabel;
class QPopupMenu;
class UTIL_PushButton;
class XMMSPlayer;

class PlayList : public QDialog {
  Q_OBJECT
public:
  enum MenuItem {
    CheckAll = 1,
    UncheckAll,
    InvertChecks,
    AddSongs,
    RemoveSongs,
    OpenPlaylist,
    SaveAs,
    DeletePlaylist
  };

  PlayList(QWidget *parent, const QString &playlistFile);
  // Unsaved changes are written to the playlist file first.
  ~PlayList() override;

  // Replaces the entries by the file's songs and remembers the file; an unreadable file changes
  // nothing. Returns whether it was read.
  bool load(const QString &file);
  // Writes the entries (one path and a line feed each) in one step; false when it cannot.
  bool save(const QString &file) const;
  // The index of an equal entry, or appends path and returns the new number of entries; -1
  // (nothing added) for a path with a line feed, which no playlist line can hold.
  int addUnique(const QString &path);
  // The engine's playlist was replaced behind the editor (a folder opened, a saved playlist
  // loaded, a file opened from the desktop): the entries are read again, unsaved changes are
  // dropped, and the first entry becomes the current one. Add mode keeps its folder.
  void reload();
  // Removes entry index when it exists.
  void remove(int index);
  // 0 list, 1 add (browsing the storage), -1 remove.
  void setMode(int mode);
  // The editor's open: shown again (-1) when visible; otherwise list mode and shown (0).
  // (QDialog::open is another thing: a window-modal show.)
  int openList();
  // The current entry into text and its index (0 when the index was out of range), or -1 for
  // an empty list.
  int takeCurrent(QString &text);

  const QStringList &entries() const { return songs; }
  QString playlistFile() const { return file; }
  int mode() const { return mode_; }
  int changes() const { return changeCount; }
  int currentIndex() const { return current; }
  void setCurrentIndex(int index) { current = index; }
  QString home() const { return homeDir; }
  // ~/playlist: the only folder whose files the editor writes or deletes by the user's naming.
  QString savedFolder() const { return homeDir + "/playlist"; }

  My_ListBox *listBox() const { return list; }
  QPopupMenu *popupMenu() const { return menu; }
  UTIL_PushButton *menuButton() const { return menuBtn; }
  UTIL_PushButton *okButton() const { return okBtn; }
  UTIL_PushButton *backButton() const { return backBtn; }
  QLabel *titleLabel() const { return title; }

  // Why name cannot name a saved playlist (empty when it can): nothing but blanks or dots, a
  // leading dot (a hidden file no list would show), a character no file name may hold, or too
  // long for a file name once ".m3u" is added.
  static QString nameProblem(const QString &name);

public slots:
  void doShowPopup();
  void hideWithOk();
  void hideWithCancel();
  void menuSelect(int id);

signals:
  // The user chose the current entry to be played.
  void playlistCmd();
  // The playlist file was rewritten and the engine restarted on it (engineMissing: no engine
  // answers after it).
  void playlistApplied(bool engineMissing);

private:
  // Writes the entries to the playlist file, restarting the engine around it (on timers: it
  // returns at once), then list mode.
  void apply();
  void openPlaylist();
  void saveAs();
  void deletePlaylist();
  void tell(const QString &text);

  QString homeDir;
  QString file;
  QStringList songs;
  int current = -1;
  int mode_ = 0;
  int changeCount = 0;
  XMMSPlayer *controller;

  QLabel *title;
  My_ListBox *list;
  UTIL_PushButton *menuBtn, *okBtn, *backBtn;
  QPopupMenu *menu;
};
