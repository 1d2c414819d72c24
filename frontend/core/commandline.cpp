#include "commandline.h"

#include "core/playable.h"

#include <QDir>
#include <QFileInfo>

namespace commandline {

namespace {

// The songs one argument stands for; what is wrong with it goes to diagnostics.
QStringList songsOf(const QString &arg, QString &diagnostics) {
  const QFileInfo info(arg);
  if (!info.exists()) {
    diagnostics += QStringLiteral("velora: cannot open %1: no such file or folder\n").arg(arg);
    return {};
  }
  if (info.isDir()) {
    if (!info.isReadable() || !info.isExecutable()) {
      diagnostics += QStringLiteral("velora: cannot read the folder %1\n").arg(arg);
      return {};
    }
    const QStringList songs = playable::songsIn(info.absoluteFilePath());
    if (songs.isEmpty())
      diagnostics += QStringLiteral("velora: no songs velora plays in the folder %1\n").arg(arg);
    return songs;
  }
  if (!playable::isPlayable(arg)) {
    diagnostics += QStringLiteral("velora: cannot play %1: velora plays %2 files\n")
                       .arg(arg, playable::extensions().join(", "));
    return {};
  }
  if (!info.isReadable()) {
    diagnostics += QStringLiteral("velora: cannot read %1\n").arg(arg);
    return {};
  }
  // Absolute, so the engine and a running player (another working folder) find it; links are
  // kept as given, like the open-folder command keeps them.
  return {info.absoluteFilePath()};
}

} // namespace

QString helpText() {
  return QStringLiteral(
      "Usage: velora [OPTION] [FILE_OR_FOLDER...]\n"
      "A skinned music player with synchronised lyrics for small screens.\n"
      "\n"
      "With files, velora plays them as a new playlist in the order given; a folder stands\n"
      "for its songs (not those of its sub-folders), sorted by name as the open-folder\n"
      "button plays them. When velora already runs in this session, the files go to the\n"
      "running player and no second window opens. Without files, velora plays its last\n"
      "playlist (~/.xmms/xmms.m3u).\n"
      "\n"
      "  -h, --help     show this help and exit\n"
      "  -V, --version  show the version and exit\n"
      "  --             what follows is a file name, even when it begins with '-'\n"
      "\n"
      "Settings, skins and playlists live in ~/.xmms, ~/skins and ~/playlist; see velora(1).\n");
}

QString versionText() {
  return QStringLiteral("velora %1\n"
                        "License GPL-2.0-or-later <https://www.gnu.org/licenses/gpl-2.0.html>.\n"
                        "This is free software: you are free to change and redistribute it.\n"
                        "There is NO WARRANTY, to the extent permitted by law.\n")
      .arg(QStringLiteral(VELORA_VERSION));
}

Request parse(const QStringList &args) {
  Request request;
  bool options = true;
  for (const QString &arg : args) {
    if (options && arg == QLatin1String("--")) {
      options = false;
      continue;
    }
    if (options && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
      request = Request{true, 0, helpText(), {}, {}, false};
      return request;
    }
    if (options && (arg == QLatin1String("-V") || arg == QLatin1String("--version"))) {
      request = Request{true, 0, versionText(), {}, {}, false};
      return request;
    }
    if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
      request.exitNow = true;
      request.status = 2;
      request.diagnostics =
          QStringLiteral("velora: unknown option %1 (try velora --help)\n").arg(arg);
      return request;
    }
    request.pathsGiven = true;
    request.songs << songsOf(arg, request.diagnostics);
  }
  if (request.pathsGiven && request.songs.isEmpty()) {
    request.exitNow = true;
    request.status = 1;
    request.diagnostics += QStringLiteral("velora: nothing to play\n");
  }
  return request;
}

} // namespace commandline
