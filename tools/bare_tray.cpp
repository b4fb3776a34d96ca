// The least a Qt tray program can be: an icon with a one-item menu. Builds
// with Qt 5 or 6; tools/cost.sh builds it with the Qt the package's desktop
// program links and measures its resident memory beside the program's, as
// the floor that Qt itself sets on this system.
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QPixmap image(16, 16);
  image.fill(Qt::red);
  QSystemTrayIcon tray{QIcon(image)};
  QMenu menu;
  menu.addAction(QStringLiteral("Exit"), &app, &QApplication::quit);
  tray.setContextMenu(&menu);
  tray.show();
  return QApplication::exec();
}
