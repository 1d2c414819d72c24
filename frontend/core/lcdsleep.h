// The phone's screen helper: $HOME/lcdsleep, told after each lyrics load whether lyrics are
// shown ("0": keep the screen awake) or not ("-r"). Run directly, without a shell, and only when
// it exists and is executable; otherwise nothing happens.
#pragma once

#include <QString>

namespace lcdsleep {
void run(const QString &home, bool lyricsShown);
}
