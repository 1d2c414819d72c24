// Multi-line text field of the phone framework, with a filter that refuses typed characters.
#pragma once

#include <QPlainTextEdit>
#include <QRegExp>

class ZMultiLineEdit : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit ZMultiLineEdit(QWidget *parent = nullptr, const char *name = nullptr);
  ZMultiLineEdit(QWidget *parent, bool useTitle, int lines, const char *name = nullptr);

  QString text() const { return toPlainText(); }
  void setText(const QString &t) { setPlainText(t); }

  // Every typed or pasted character must match expr (for instance "[^/\\\\]"); others are
  // dropped. enable false turns the filter off again.
  void setFilter(const QRegExp &expr, bool enable = true);
  // True when the character would be accepted.
  bool accepts(QChar c) const;

protected:
  void keyPressEvent(QKeyEvent *e) override;
  void insertFromMimeData(const QMimeData *source) override;

private:
  QRegExp filter;
  bool filtering = false;
};
