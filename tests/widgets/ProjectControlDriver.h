#pragma once
// Driving the modal project management window from a test: the steps run
// inside its display, with real key and mouse events on its controls, and an
// exchange file of a small project to import.
#include "WidgetTestSupport.h"
#include "catalogue/ProjectControlForm.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <utility>

// Schedules `steps` for the next modal display of the window. The steps see
// the window as shown; a failed check inside them returns early, and the
// window is then closed so that the display always ends.
inline void WhenShown(std::function<void(TProjectControlForm &)> steps, bool *ran = nullptr) {
  QTimer::singleShot(0, [steps = std::move(steps), ran] {
    auto *w = qobject_cast<TProjectControlForm *>(QApplication::activeModalWidget());
    if (!w)
      qFatal("the project management window is not shown modally");
    if (ran)
      *ran = true;
    steps(*w);
    if (w->isVisible())
      w->reject();
  });
}

// Types `text` where the caret is: plain keys for ASCII, the commit of an
// input method for Japanese, as it arrives from one.
inline void Type(QLineEdit *edit, const QString &text) {
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(edit, c.toLatin1());
      continue;
    }
    QInputMethodEvent commit;
    commit.setCommitString(QString(c));
    QApplication::sendEvent(edit, &commit);
  }
}

// Replaces the text of `edit` by typing, as a user does.
inline void TypeInto(QLineEdit *edit, const QString &text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  Type(edit, text);
}

inline void Click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

// The exchange form of a project whose root item is titled `title` (CP932
// bytes) with one child item.
inline QByteArray ExchangeOf(const QByteArray &title) {
  return "[Orvane Exported File]\r\n"
         "FileName:MainTree.dat\r\n"
         "[Root]\r\nLastIndex=1\r\nChild01=Root-C00000\r\nFileName=r.txt\r\n"
         "[Root-C00000]\r\nFileName=c.txt\r\n"
         "\f\r\n"
         "FileName:r.txt\r\n"
         "Title:" +
         title +
         "\r\n\r\nroot text\r\n"
         "\f\r\n"
         "FileName:c.txt\r\n"
         "Title:child\r\n\r\nchild text\r\n"
         "\f\r\n";
}
