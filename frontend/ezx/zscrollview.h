// Scroll view of the phone framework: one child widget in a scrolling viewport.
#pragma once

#include <QScrollArea>

class ZScrollView : public QScrollArea {
  Q_OBJECT
public:
  explicit ZScrollView(QWidget *parent = nullptr, const char *name = nullptr,
                       Qt::WindowFlags flags = {});
  // The phone drew children through a clipper widget; Qt's viewport already clips.
  void enableClipper(bool) {}
  // Puts child into the viewport at (x, y) of the scrolled contents.
  void addChild(QWidget *child, int x = 0, int y = 0);
  void resizeContents(int w, int h);

private:
  QWidget *contents;
};
