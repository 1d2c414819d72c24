#include "startup.h"

#include "firststart.h"
#include "mainface/mainface.h"
#include "mpris/mprisservice.h"
#include "quitsignals.h"
#include "sharedir.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QPointer>
#include <QThread>

#include <cstring>

namespace {
QPointer<MainFace> mainWindow; // the window a quit signal closes
} // namespace

MainFace *startVelora(ZApplication &app, int checkMs) {
  // From the start: a signal that comes while the engine starts is answered once the window
  // exists, by its close sequence, so the engine never outlives us.
  quitsignals::install([](int signo) {
    qWarning("velora: %s received, closing", strsignal(signo));
    if (mainWindow)
      mainWindow->requestClose();
    else
      QCoreApplication::exit(0);
  });
  // Before the engine starts: it reads the seeded playlist file once, when it starts.
  firststart::seedHome(QDir::homePath(), veloraShareDir());
  // Lives until the process ends; everything reaches it through XMMSPlayer::instance.
  XMMSPlayer *player = new XMMSPlayer(nullptr, "");
  player->launch();
  for (int check = 0; check < 10; ++check) {
    if (player->isRunning()) {
      qDebug("MAIN: xmms started");
      break;
    }
    qDebug("MAIN: xmms not started");
    QThread::msleep(static_cast<unsigned long>(checkMs));
  }
  MainFace *window = new MainFace(nullptr, nullptr);
  mainWindow = window;
  // Media keys and desktop player widgets; without a session bus the player runs as before.
  MprisService::start(window);
  window->show();
  app.showMainWidget(window);
  return window;
}
