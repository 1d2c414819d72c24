// A velora already running in this session, reached the way a desktop reaches it: its MPRIS
// service on the session bus. A second start hands its songs over instead of opening a second
// window on the same engine.
#pragma once

#include <QString>
#include <QStringList>

namespace remoteplayer {

// True when a velora window serves this session bus and this session's engine answers (a
// player of another session, e.g. ./run --home, has an engine of its own and does not count).
bool running();
// Makes songs the running player's playlist and plays the first; no songs only raises its
// window. False (with the reason in error) when the player did not take them.
bool open(const QStringList &songs, QString *error);

} // namespace remoteplayer
