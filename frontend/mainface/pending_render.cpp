// Placeholders for area drawing, status polling and the lyrics display until they are written;
// each definition moves out of here into the file that implements it.
#include "mainface.h"

#include <QMouseEvent>

void MainFace::drawTime(int) {}
void MainFace::drawPosition(int, bool) {}
void MainFace::drawVolume(int, bool) {}
void MainFace::drawPlaylistBar(int, bool) {}
void MainFace::drawEqSlider(int) {}
void MainFace::drawEqCurve() {}
void MainFace::drawPlayStatus(int) {}
void MainFace::drawLyrics() {}
void MainFace::loadPlaylistFile(const QString &) {}
void MainFace::drawTimer(int, unsigned int, unsigned int, int, int) {}
void MainFace::drawTitle() {}
void MainFace::drawPList(int) {}
void MainFace::seekTo(int) {}
void MainFace::openbutlrc() {}
void MainFace::openbutlrcb() {}
void MainFace::moveskins() {}
void MainFace::lrcRepaint() {}
void MainFace::doCheckTimer() {}
