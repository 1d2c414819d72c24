#include "zmultilineedit.h"

#include <QKeyEvent>
#include <QMimeData>

ZMultiLineEdit::ZMultiLineEdit(QWidget *parent, const char *name) : QPlainTextEdit(parent) {
  if (name)
    setObjectName(QString::fromLatin1(name));
}

ZMultiLineEdit::ZMultiLineEdit(QWidget *parent, bool, int, const char *name)
    : ZMultiLineEdit(parent, name) {}

void ZMultiLineEdit::setFilter(const QRegExp &expr, bool enable) {
  filter = expr;
  filtering = enable;
}

bool ZMultiLineEdit::accepts(QChar c) const {
  if (!filtering)
    return true;
  QRegExp rx(filter);
  return rx.exactMatch(QString(c));
}

void ZMultiLineEdit::keyPressEvent(QKeyEvent *e) {
  const QString typed = e->text();
  // Control characters (backspace, enter, arrows) are editing, not typing.
  if (!typed.isEmpty() && typed.at(0).isPrint()) {
    for (QChar c : typed)
      if (!accepts(c)) {
        e->accept();
        return;
      }
  }
  QPlainTextEdit::keyPressEvent(e);
}

void ZMultiLineEdit::insertFromMimeData(const QMimeData *source) {
  if (!source || !source->hasText())
    return;
  QString kept;
  for (QChar c : source->text())
    if (accepts(c))
      kept += c;
  insertPlainText(kept);
}
