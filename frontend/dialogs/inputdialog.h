// Asks for one name (a new playlist's, for instance). The characters a file name cannot hold,
// or that would leave the folder it is meant for, cannot be typed or pasted.
#pragma once

#include <QDialog>
#include <QString>

class ZMultiLineEdit;
class ZPushButton;
class QLabel;

class InputDialog : public QDialog {
  Q_OBJECT
public:
  InputDialog(QWidget *parent = nullptr, const char *title = nullptr, bool modal = true,
              Qt::WindowFlags flags = {});

  QString result() const { return answer; }
  ZMultiLineEdit *edit() const { return line; }
  ZPushButton *okButton() const { return ok; }
  ZPushButton *cancelButton() const { return cancel; }

public slots:
  void returned();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QLabel *prompt;
  ZMultiLineEdit *line;
  ZPushButton *ok, *cancel;
  QString answer;
};
