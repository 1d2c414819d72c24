// The "GBK" text codec through which the program's 8-bit literals and lyrics become text.
#pragma once

#include <QString>

class QTextCodec;

extern QTextCodec *gbkCodec;
QString fromGbk(const char *bytes);
QString fromGbk(const QByteArray &bytes);
