// One copy at a time: a lock file in the runtime folder, and beside it a
// local socket through which a second start asks the running copy to open
// its window.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

class QSocketNotifier;

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
  struct Peer {
    QSocketNotifier* notifier;  // a child of this object
    std::string line;
  };
  void onConnection();
  void onPeerReadable(int fd);
  void closePeer(int fd);

  QLockFile lock_;
  std::string socketPath_;
  int listener_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::map<int, Peer> peers_;
};

// The runtime folder, or the temporary folder when the session has none.
QString RuntimeFolder();

}  // namespace kev::app
