// Whether the desktop shows tray icons, cheap enough to ask every few
// seconds: a StatusNotifier host is followed through the session bus's
// signals, an X11 tray by its manager selection. (Qt's own check opens a
// new bus connection on every call.)
#pragma once

#include <QDBusConnection>
#include <QObject>

namespace kev::app {

class TrayWatch : public QObject {
  Q_OBJECT
 public:
  explicit TrayWatch(QDBusConnection bus, QObject* parent = nullptr);

  bool Available() const;

 signals:
  // A StatusNotifier watcher or host came or went.
  void changed();

 private slots:
  void askHost();

 private:
  void takeAnswer(const QDBusMessage& reply);

  QDBusConnection bus_;
  bool host_ = false;
};

}  // namespace kev::app
