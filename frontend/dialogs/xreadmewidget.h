// Shows the user's own notes, ~/readme (GBK text), in a scrolling field. Not modal; it deletes
// itself when closed.
#pragma once

#include <QDialog>

class UTIL_PushButton;
class ZMultiLineEdit;
class ZScrollView;

class XreadmeWidget : public QDialog {
  Q_OBJECT
public:
  XreadmeWidget(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false);

  ZMultiLineEdit *textField() const { return text; }
  UTIL_PushButton *backButton() const { return back; }

public slots:
  // Both close the viewer and delete it; the viewer never writes the file.
  void doSave();
  void doCancel();

private:
  void loadReadme();

  ZScrollView *view;
  ZMultiLineEdit *text;
  UTIL_PushButton *back;
};
