// What velora's command line asks for: its help or version, or songs to play. Read before any
// window or display exists, so that --help works on a console.
#pragma once

#include <QString>
#include <QStringList>

namespace commandline {

struct Request {
  bool exitNow = false; // answered (help, version) or refused: exit with status
  int status = 0;
  QString output;      // for standard output
  QString diagnostics; // for standard error, one line each
  QStringList songs;   // to play as a new playlist, in order
  bool pathsGiven = false;
};

// args without the program name. Files are taken in the order given, a folder gives its songs
// as the open-folder command does; what cannot be played is named in diagnostics and left out.
Request parse(const QStringList &args);

QString helpText();
QString versionText();

} // namespace commandline
