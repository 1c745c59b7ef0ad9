// vireltan: the desktop program. Optionally takes a data file to open.
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include "app/tform1.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName("Vireltan");
  QApplication::setApplicationName("Vireltan");
  QApplication::setApplicationVersion("2.0");
  vireltan::app::TForm1 Form1;
  Form1.show();
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() > 1) {
    const QString path = arguments.at(1);
    QTimer::singleShot(0, &Form1, [&Form1, path] { Form1.OpenPath(path); });
  }
  return QApplication::exec();
}
