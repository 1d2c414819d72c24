// What the main window's drawing tests share: a fresh window and the skin keys they all start from.
#pragma once

#include "guiapp.h"
#include "mainface/mainface.h"

#include <QString>
#include <QTimer>
#include <memory>
#include <string>

namespace velora::test {

inline const std::string kBase = "mwin_Y=0\nmwin_H=320\n";

inline QString q(const std::string &s) { return QString::fromStdString(s); }

// A vertical window with nothing playing; the tests drive its timers themselves.
inline std::unique_ptr<MainFace> openWindow() {
  guiApp();
  windowMode = VerticalMode;
  playingFlag = pausedFlag = false;
  lyricsLoaded = false;
  hPanelsHidden = false;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  // The tests drive the timers' slots themselves.
  w->titleTimer->stop();
  w->checkTimer->stop();
  return w;
}

} // namespace velora::test
