// Qt's diagnostics (a line per parsed file) would drown the fuzzer's own output.
#pragma once

#include <QtGlobal>

namespace fuzz {
inline void quietQt() {
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}
} // namespace fuzz
