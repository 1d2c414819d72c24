// velora: the skinned music player. Starts the audio engine, then shows the main window.
#include "core/startup.h"
#include "mainface/mainface.h"
#include "zapplication.h"

#include <QPointer>

int main(int argc, char **argv) {
  ZApplication *app = new ZApplication(argc, argv, ZApplication::GuiClient);
  QPointer<MainFace> window = startVelora(*app);
  int status = app->exec();
  // A close that came while a dialog was open ended the loops without deleting the window (it
  // had to outlive the dialog's loop); it goes now, before the application object.
  delete window.data();
  delete app;
  return status;
}
