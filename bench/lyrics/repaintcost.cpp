// What one showing of a karaoke step costs any Qt window, whatever it draws: a bare 240 x 320
// window that paints a 3 x 20 strip of its picture into itself every `interval` ms, the way the
// lyrics sweep does. With an interval of 0 it only shows itself and waits.
//   repaintcost <interval ms>
#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {
class Strip : public QWidget {
public:
  Strip() {
    picture.fill(Qt::darkGray);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void step() {
    const QRect r(x % 240, 210, 3, 20);
    {
      QPainter p(&picture);
      p.fillRect(r, Qt::red);
    }
    repaint(r);
    x += 3;
  }

protected:
  void paintEvent(QPaintEvent *e) override {
    QPainter p(this);
    p.drawImage(e->rect(), picture, e->rect());
  }

private:
  QImage picture{240, 320, QImage::Format_RGB32};
  int x = 0;
};
} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  Strip window;
  window.resize(240, 320);
  window.show();
  QTimer timer;
  const int interval = argc > 1 ? std::atoi(argv[1]) : 100;
  if (interval > 0) {
    QObject::connect(&timer, &QTimer::timeout, &window, &Strip::step);
    timer.start(interval);
  }
  return app.exec();
}
