// The one list of file kinds the player can play, shared by the folder command, the open-folder
// dialog, the playlist editor and the desktop-control service, so that a format the engine
// plays is never left out of one of them.
#pragma once

#include <QString>
#include <QStringList>

namespace playable {

// Extensions without the dot, lower case: "mp3", "m4a", "flac", ...
const QStringList &extensions();
// Name filters for QDir ("*.mp3", ...); QDir matches them ignoring case unless told otherwise.
QStringList nameFilters();
// The whole extension after the last "." of the base name, compared ignoring case.
bool isPlayable(const QString &fileName);
// The songs of a folder (not its sub-folders) as the open-folder command plays them: playable
// kinds only, sorted by name ignoring case, as paths inside folder. Empty when it cannot be read.
QStringList songsIn(const QString &folder);
// MIME types of the playable kinds (for desktop integration).
const QStringList &mimeTypes();

} // namespace playable
