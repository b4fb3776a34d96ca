// One copy at a time: a lock file in the runtime folder, and beside it a
// local socket through which a second start asks the running copy to open
// its window.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

namespace kev::app {

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  // folder: where the lock and the socket live (the runtime folder).
  explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
  ~SingleInstance() override;

  // True when this is the only copy; it then listens for later starts. A
  // lock left by a copy that died does not count.
  bool TryBecomeFirst();
  // Asks the running copy to open its window; false when it did not answer.
  bool HandOver(int timeoutMs = 3000);

 signals:
  void openRequested();

 private:
  void onConnection();

  QLockFile lock_;
  QString socketPath_;
  QLocalServer* server_ = nullptr;
};

// The runtime folder, or the temporary folder when the session has none.
QString RuntimeFolder();

}  // namespace kev::app
