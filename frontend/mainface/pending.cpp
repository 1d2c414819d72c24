// Placeholders for the dialog commands (playlists, equalizer presets, About box) until the dialogs
// are written; each definition moves out of here into the file that implements it.
#include "mainface.h"

#include <QMouseEvent>

void MainFace::playlistSlot() {}
void MainFace::sltAbout() {}
