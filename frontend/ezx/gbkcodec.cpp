#include "gbkcodec.h"

#include <QTextCodec>

// Looked up during static initialisation; Core5Compat's codecs need no application object.
QTextCodec *gbkCodec = QTextCodec::codecForName("GBK");

QString fromGbk(const char *bytes) { return fromGbk(QByteArray(bytes)); }

QString fromGbk(const QByteArray &bytes) {
  QTextCodec *codec = gbkCodec ? gbkCodec : QTextCodec::codecForName("GBK");
  return codec ? codec->toUnicode(bytes) : QString::fromLatin1(bytes);
}
