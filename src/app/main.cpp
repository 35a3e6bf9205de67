#include "ui/Placeholder.h"

#include <QApplication>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QWidget *w = CreatePlaceholderWindow();
  w->show();
  int rc = app.exec();
  delete w;
  return rc;
}
