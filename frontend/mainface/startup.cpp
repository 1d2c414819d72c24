#include "startup.h"

#include "mainface.h"
#include "mpris/mprisservice.h"
#include "xmmsPlayer.h"
#include "zapplication.h"

#include <QDebug>
#include <QThread>

MainFace *startVelora(ZApplication &app, int checkMs) {
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
  // Media keys and desktop player widgets; without a session bus the player runs as before.
  MprisService::start(window);
  window->show();
  app.showMainWidget(window);
  return window;
}
