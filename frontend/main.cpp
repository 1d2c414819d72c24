// velora: the skinned music player. Starts the audio engine, then shows the main window.
//   velora [FILE_OR_FOLDER...]   see velora --help
#include "core/commandline.h"
#include "core/startup.h"
#include "core/translations.h"
#include "mainface/mainface.h"
#include "mpris/remoteplayer.h"
#include "zapplication.h"

#include <QPointer>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i)
    args << QString::fromLocal8Bit(argv[i]);
  // Help and version answer without a display, as command-line programs do.
  const commandline::Request request = commandline::parse(args);
  std::fputs(request.diagnostics.toLocal8Bit().constData(), stderr);
  std::fputs(request.output.toLocal8Bit().constData(), stdout);
  if (request.exitNow)
    return request.status;

  ZApplication *app = new ZApplication(argc, argv, ZApplication::GuiClient);
  installTranslations(QLocale::system(), translationsDir());
  if (remoteplayer::running()) {
    // One window per session: the running player takes the songs (or is raised).
    QString error;
    const bool taken = remoteplayer::open(request.songs, &error);
    if (!taken)
      std::fprintf(stderr, "velora: the running player did not take the songs: %s\n",
                   error.toLocal8Bit().constData());
    delete app;
    return taken ? 0 : 1;
  }
  QPointer<MainFace> window = startVelora(*app);
  if (window && !request.songs.isEmpty())
    window->playSongs(request.songs);
  int status = app->exec();
  // A close that came while a dialog was open ended the loops without deleting the window (it
  // had to outlive the dialog's loop); it goes now, before the application object.
  delete window.data();
  delete app;
  return status;
}
