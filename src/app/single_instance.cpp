#include "app/single_instance.h"

#include <QDir>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kev::app {
namespace {

constexpr char kOpenRequest[] = "open\n";
constexpr char kAnswer = '1';
constexpr size_t kMaxLine = 16;  // longer is not a request of ours
constexpr int kBacklog = 8;

bool Address(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Waits until fd is ready for events, within the time left until deadline.
bool Wait(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(left.count()));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

// Connects before the deadline; a copy that hangs with its queue full is
// not waited for longer.
bool Connect(int fd, const sockaddr_un& address, std::chrono::steady_clock::time_point deadline) {
  constexpr auto kRetry = std::chrono::milliseconds(50);
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EAGAIN && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() + kRetry > deadline) return false;
    std::this_thread::sleep_for(kRetry);
  }
}

}  // namespace

QString RuntimeFolder() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return dir.isEmpty() ? QDir::tempPath() : dir;
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
      lock_(folder + QStringLiteral("/Kevatra.lock")),
      socketPath_((folder + QStringLiteral("/Kevatra.socket")).toStdString()) {
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  for (const auto& [fd, peer] : peers_) {
    delete peer.notifier;
    close(fd);
  }
  if (listener_ >= 0) {
    notifier_.reset();
    close(listener_);
    unlink(socketPath_.c_str());
  }
}

bool SingleInstance::TryBecomeFirst() {
  if (!lock_.tryLock(0)) return false;
  // Holding the lock, any socket left at the place is a dead copy's.
  sockaddr_un address;
  if (!Address(socketPath_, address)) return true;  // later starts only end quietly
  unlink(socketPath_.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return true;
  // The socket file gets the socket's own mode: only this user may connect.
  fchmod(fd, S_IRUSR | S_IWUSR);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, kBacklog) != 0) {
    close(fd);
    return true;
  }
  listener_ = fd;
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &SingleInstance::onConnection);
  return true;
}

void SingleInstance::onConnection() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    peers_[fd] = Peer{notifier, {}};
    connect(notifier, &QSocketNotifier::activated, this, [this, fd] { onPeerReadable(fd); });
  }
}

void SingleInstance::onPeerReadable(int fd) {
  Peer& peer = peers_.at(fd);
  char buffer[kMaxLine];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (got > 0) peer.line.append(buffer, static_cast<size_t>(got));
  const bool whole = peer.line.find('\n') != std::string::npos;
  if (got > 0 && !whole && peer.line.size() < kMaxLine) return;
  const bool open = peer.line == kOpenRequest;
  if (whole) (void)send(fd, &kAnswer, 1, MSG_NOSIGNAL);
  closePeer(fd);
  if (open) emit openRequested();
}

void SingleInstance::closePeer(int fd) {
  // Called from the notifier's own signal: it goes once that has returned.
  auto found = peers_.find(fd);
  found->second.notifier->setEnabled(false);
  found->second.notifier->deleteLater();
  peers_.erase(found);
  close(fd);
}

bool SingleInstance::HandOver(int timeoutMs) {
  sockaddr_un address;
  if (!Address(socketPath_, address)) return false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char answer = 0;
  const bool ok =
      Connect(fd, address, deadline) &&
      send(fd, kOpenRequest, sizeof kOpenRequest - 1, MSG_NOSIGNAL) ==
          static_cast<ssize_t>(sizeof kOpenRequest - 1) &&
      Wait(fd, POLLIN, deadline) && read(fd, &answer, 1) == 1 && answer == kAnswer;
  close(fd);
  return ok;
}

}  // namespace kev::app
