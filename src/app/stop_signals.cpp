#include "app/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>

namespace kev::app {
namespace {

// The write end of the pipe the handler wakes the event loop through; a
// signal handler can only reach a process-wide descriptor.
int g_wakeFd = -1;

void OnStopSignal(int) {
  const char byte = 1;
  if (g_wakeFd >= 0) (void)!::write(g_wakeFd, &byte, 1);
}

constexpr std::array kStopSignals{SIGTERM, SIGINT, SIGHUP};

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  g_wakeFd = fds[1];
  notifier_ = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this, fd = fds[0]] {
    char buf[16];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
    emit stopRequested();
  });
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int s : kStopSignals) ::sigaction(s, &sa, nullptr);
}

StopSignals::~StopSignals() {
  for (int s : kStopSignals) ::signal(s, SIG_DFL);
  if (notifier_ != nullptr) ::close(static_cast<int>(notifier_->socket()));
  ::close(g_wakeFd);
  g_wakeFd = -1;
}

}  // namespace kev::app
