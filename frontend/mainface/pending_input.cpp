// Placeholders for stylus input, commands and hardware keys until they are written; each
// definition moves out of here into the file that implements it.
#include "mainface.h"

#include <QMouseEvent>

void MainFace::drawElement(int, int) {}
void MainFace::setEqValue(int, int) {}
void MainFace::sendEq(int) {}
void MainFace::buttonClick(int) {}
void MainFace::plistPOSClick(int) {}
void MainFace::mousePressEvent(QMouseEvent *e) { pressPos = e->position().toPoint(); }
void MainFace::mouseReleaseEvent(QMouseEvent *) {}
void MainFace::mouseMoveEvent(QMouseEvent *) {}
bool MainFace::qwsEvent(QWSEvent *e) { return ZMainWidget::qwsEvent(e); }
