// What a first start puts in the home directory so that the player has something to show and
// play: the default skin, the equalizer presets, the readme and a playlist of the demo tracks.
// Only missing files are written; whatever the user already has stays as it is.
#pragma once

#include <QString>
#include <QStringList>

namespace firststart {

// Copies or writes every missing piece from the shipped tree shareDir (P/share/velora) into
// home. Runs before the engine starts, because the engine reads its playlist file at start.
// Returns the home-relative names of the files written.
QStringList seedHome(const QString &home, const QString &shareDir);

// The playable files of shareDir/demo, sorted by name, as absolute paths.
QStringList demoTracks(const QString &shareDir);

} // namespace firststart
