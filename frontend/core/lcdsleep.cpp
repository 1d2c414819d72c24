#include "lcdsleep.h"

#include <QFileInfo>
#include <QProcess>

namespace lcdsleep {

void run(const QString &home, bool lyricsShown) {
  const QString program = home + QStringLiteral("/lcdsleep");
  const QFileInfo info(program);
  if (!info.isFile() || !info.isExecutable())
    return;
  QProcess::execute(program, {lyricsShown ? QStringLiteral("0") : QStringLiteral("-r")});
}

} // namespace lcdsleep
