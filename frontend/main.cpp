// velora: the skinned music player. Starts the audio engine, then shows the main window.
#include "core/startup.h"
#include "zapplication.h"

int main(int argc, char **argv) {
  ZApplication *app = new ZApplication(argc, argv, ZApplication::GuiClient);
  startVelora(*app);
  int status = app->exec();
  delete app;
  return status;
}
