// Parts of the main window that are not written yet: area drawing, status polling, touch input,
// commands, hardware keys, lyrics display, the playlist panel and the dialogs. Each definition
// here is a placeholder that leaves the window as it is; the file that implements a function
// takes its definition out of this one.
#include "mainface.h"

#include <QMouseEvent>

void MainFace::drawTime(int) {}
void MainFace::drawPosition(int, bool) {}
void MainFace::drawVolume(int, bool) {}
void MainFace::drawPlaylistBar(int, bool) {}
void MainFace::drawEqSlider(int) {}
void MainFace::drawEqCurve() {}
void MainFace::drawPlayStatus(int) {}
void MainFace::drawElement(int, int) {}
void MainFace::drawLyrics() {}
void MainFace::setEqValue(int, int) {}
void MainFace::sendEq(int) {}
void MainFace::loadPlaylistFile(const QString &) {}

void MainFace::drawTimer(int, unsigned int, unsigned int, int, int) {}
void MainFace::drawTitle() {}
void MainFace::drawPList(int) {}
void MainFace::seekTo(int) {}
void MainFace::openbutlrc() {}
void MainFace::openbutlrcb() {}
void MainFace::moveskins() {}
void MainFace::selectMenumplist(int) {}
void MainFace::lrcRepaint() {}
void MainFace::buttonClick(int) {}
void MainFace::playlistSlot() {}
void MainFace::doCheckTimer() {}
void MainFace::plistPOSClick(int) {}
void MainFace::equalizerChangeSlot() {}
void MainFace::sltAbout() {}

void MainFace::mousePressEvent(QMouseEvent *e) { pressPos = e->position().toPoint(); }
void MainFace::mouseReleaseEvent(QMouseEvent *) {}
void MainFace::mouseMoveEvent(QMouseEvent *) {}
bool MainFace::qwsEvent(QWSEvent *e) { return ZMainWidget::qwsEvent(e); }
