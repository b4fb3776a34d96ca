// Suspend and resume as the login manager announces them, with a delay
// inhibitor held so that sampling stops before the machine sleeps.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace kev::app {

class SleepWatcher : public QObject {
  Q_OBJECT
 public:
  // Listens on bus (the system bus in the program); without a login manager
  // it stays silent.
  explicit SleepWatcher(QDBusConnection bus, QObject* parent = nullptr);
  bool holdsInhibitor() const { return inhibitor_.isValid(); }

 signals:
  void suspending();
  void resumed();
  void inhibitorChanged();

 private slots:
  void onPrepareForSleep(bool start);

 private:
  void takeInhibitor();

  QDBusConnection bus_;
  QDBusUnixFileDescriptor inhibitor_;
};

}  // namespace kev::app
