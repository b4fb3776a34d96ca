// SIGTERM, SIGINT and SIGHUP end the desktop program the way "Exit" does,
// with the settings saved, instead of killing it on the spot.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kev::app {

class StopSignals : public QObject {
  Q_OBJECT
 public:
  explicit StopSignals(QObject* parent = nullptr);
  ~StopSignals() override;

 signals:
  void stopRequested();

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kev::app
