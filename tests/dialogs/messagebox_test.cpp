// The phone framework's question box on a phone-sized window: with three answers in a row it is
// wider than the 240-pixel screen and its last answer falls off the edge.
#include "dialogfixture.h"
#include "guiapp.h"
#include "zmessagebox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>

using namespace velora::test;

namespace {

struct Seen {
  QRect box;
  QList<QRect> buttons; // in the box's coordinates
};

// Asks the question, looks at the box while it is up and answers with the button `answer`.
int ask(QWidget *parent, const QStringList &captions, int answer, Seen &seen) {
  whenModal<QMessageBox>([&seen, answer](QMessageBox *box) {
    seen.box = box->geometry();
    for (QAbstractButton *b : box->buttons())
      seen.buttons << QRect(b->mapTo(box, QPoint(0, 0)), b->size());
    box->buttons().value(answer)->click();
  });
  return ZMessageBox::information(parent, QPixmap(), "Save the times tapped so far?",
                                  captions.value(0), captions.value(1, QString()),
                                  captions.value(2, QString()), 0);
}

} // namespace

TEST_F(DialogTest, QuestionsFitAPhoneSizedWindowWithEveryAnswerOnIt) {
  guiApp();
  openWindow();
  w->show();
  const int room = w->window()->width();
  ASSERT_LE(room, 240);

  for (const QStringList &captions :
       {QStringList{"Save", "Discard", "Cancel"}, QStringList{"Save", "Discard"}}) {
    for (int answer = 0; answer < captions.size(); ++answer) {
      Seen seen;
      EXPECT_EQ(ask(w.get(), captions, answer, seen), answer) << captions.join(",").toStdString();
      EXPECT_LE(seen.box.width(), room) << captions.join(",").toStdString();
      ASSERT_EQ(seen.buttons.size(), captions.size());
      for (const QRect &b : seen.buttons)
        EXPECT_TRUE(QRect(QPoint(0, 0), seen.box.size()).contains(b))
            << captions.join(",").toStdString();
    }
  }
}
