#include "app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace kev::app {
namespace {

constexpr char kOpenRequest[] = "open\n";
constexpr char kAnswer = '1';

}  // namespace

QString RuntimeFolder() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return dir.isEmpty() ? QDir::tempPath() : dir;
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      lock_(folder + QStringLiteral("/Kevatra.lock")),
      socketPath_(folder + QStringLiteral("/Kevatra.socket")) {
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (server_ != nullptr) server_->close();
}

bool SingleInstance::TryBecomeFirst() {
  if (!lock_.tryLock(0)) return false;
  // Holding the lock, any socket left at the place is a dead copy's.
  QLocalServer::removeServer(socketPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
  server_->listen(socketPath_);  // without it later starts only end quietly
  return true;
}

void SingleInstance::onConnection() {
  while (QLocalSocket* peer = server_->nextPendingConnection()) {
    connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
    connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
      if (!peer->canReadLine()) return;
      const bool open = peer->readLine() == QByteArray(kOpenRequest);
      peer->write(&kAnswer, 1);
      peer->flush();
      peer->disconnectFromServer();
      if (open) emit openRequested();
    });
  }
}

bool SingleInstance::HandOver(int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(socketPath_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kOpenRequest);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  return socket.waitForReadyRead(timeoutMs) && socket.read(1) == QByteArray(1, kAnswer);
}

}  // namespace kev::app
