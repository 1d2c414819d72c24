// A small modal dialog over a file browser: the caller lists a start folder into browser(),
// runs it, and on acceptance reads result() (the highlighted file, empty when the highlight was
// on a folder) or the browser's current folder.
#pragma once

#include <QDialog>
#include <QString>

class FileBrowser;
class QLabel;
class UTIL_PushButton;

class ViewDialog : public QDialog {
  Q_OBJECT
public:
  ViewDialog(QWidget *parent, const QString &filter, bool modal = true, Qt::WindowFlags flags = {});

  FileBrowser *browser() const { return list; }
  QString result() const { return answer; }
  UTIL_PushButton *okButton() const { return ok; }
  UTIL_PushButton *backButton() const { return back; }
  // The line above the list ("Open Folder " unless a picker names what it picks).
  void setHeading(const QString &text);

public slots:
  void returned();

private:
  FileBrowser *list;
  QLabel *label;
  UTIL_PushButton *menu, *ok, *back;
  QString answer;
};
