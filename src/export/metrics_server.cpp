#include "export/metrics_server.h"

#include <microhttpd.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "export/http_answer.h"

namespace kev::metrics {
namespace {

using Clock = std::chrono::steady_clock;

// One thread serves every connection from an event loop, so clients that
// drip bytes or say nothing hold no worker. Each connection gets a fixed
// memory pool for its request line, headers and answer head; the library
// answers 414 or 431 when they outgrow it.
constexpr size_t kConnectionMemoryBytes = 32 * 1024;
constexpr unsigned kMaxConnections = 512;
constexpr unsigned kIdleTimeoutSeconds = 5;
// From the first byte of a request (or the end of the one before) to the
// end of its answer, whatever the client does.
constexpr Clock::duration kRequestDeadline = std::chrono::seconds(10);
// How often the loop looks for overdue requests and checks its listener.
constexpr int kTickMs = 100;

// Where a request stands: what its request line was like, then whether it
// passed the checks on its headers, then answered.
enum class Stage { LineOk, LineTooLong, Accepted, Answered };
constexpr std::array<Stage, 4> kStages{Stage::LineOk, Stage::LineTooLong, Stage::Accepted,
                                       Stage::Answered};
void* Tag(Stage s) { return const_cast<Stage*>(&kStages[static_cast<size_t>(s)]); }

struct Tracked {
  int fd = -1;
  Clock::time_point since;  // start of the request in hand
  bool cut = false;         // its socket was shut down for being overdue
};

}  // namespace

struct MetricsServer::Impl {
  MHD_Daemon* daemon = nullptr;
  int listenFd = -1;
  int wakeFd = -1;
  int port = 0;
  std::thread thread;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::shared_ptr<const Published> current = std::make_shared<const Published>();
  std::string failure;
  // Touched only on the server thread, inside the library's callbacks.
  std::unordered_map<MHD_Connection*, Tracked> tracked;
  Clock::time_point lastSweep;

  std::shared_ptr<const Published> Current() const {
    std::lock_guard lock(mutex);
    return current;
  }
  void Fail(const std::string& why) {
    std::lock_guard lock(mutex);
    failure = why;
  }
  bool ListenerAlive() const {
    int listening = 0;
    socklen_t len = sizeof listening;
    return getsockopt(listenFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) == 0 && listening;
  }

  // Requests past their deadline lose their connection; the library sees
  // the end of the stream on its next turn and frees it.
  void CutOverdue() {
    const Clock::time_point now = Clock::now();
    if (now - lastSweep < std::chrono::milliseconds(kTickMs)) return;
    lastSweep = now;
    for (auto& [connection, t] : tracked) {
      if (t.cut || now - t.since < kRequestDeadline) continue;
      shutdown(t.fd, SHUT_RDWR);
      t.cut = true;
    }
  }

  void Run() {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_EPOLL_FD);
    if (info == nullptr) return Fail("the HTTP server has no event loop");
    std::array<pollfd, 2> fds{{{info->epoll_fd, POLLIN, 0}, {wakeFd, POLLIN, 0}}};
    while (!stopping) {
      int waitMs = kTickMs;
      MHD_UNSIGNED_LONG_LONG libraryMs = 0;
      if (MHD_get_timeout(daemon, &libraryMs) == MHD_YES)
        waitMs = static_cast<int>(std::min<MHD_UNSIGNED_LONG_LONG>(libraryMs, kTickMs));
      poll(fds.data(), fds.size(), waitMs);
      if (stopping) break;
      if (MHD_run(daemon) != MHD_YES) return Fail("the HTTP server stopped working");
      CutOverdue();
      if (!ListenerAlive()) return Fail("the listening socket was closed");
    }
  }

  static void* OnRequestLine(void*, const char* uri, MHD_Connection*) {
    return Tag(std::string_view(uri).size() > kMaxRequestLineBytes ? Stage::LineTooLong
                                                                   : Stage::LineOk);
  }

  static MHD_Result OnRequest(void* cls, MHD_Connection* c, const char* url, const char* method,
                              const char*, const char*, size_t* uploadSize, void** stage) {
    if (*stage == Tag(Stage::Answered)) {
      *uploadSize = 0;  // a body after the refusal: dropped unread
      return MHD_YES;
    }
    if (*stage == Tag(Stage::Accepted)) {
      // The whole request is in: answering now keeps the connection.
      *stage = Tag(Stage::Answered);
      return QueueAnswer(c, url, *static_cast<Impl*>(cls)->Current());
    }
    const std::optional<MHD_Result> refused =
        QueueRefusal(c, method, *stage == Tag(Stage::LineTooLong));
    *stage = Tag(refused ? Stage::Answered : Stage::Accepted);
    return refused ? *refused : MHD_YES;
  }

  static void OnConnection(void* cls, MHD_Connection* c, void**,
                           MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<Impl*>(cls);
    if (code != MHD_CONNECTION_NOTIFY_STARTED) {
      self->tracked.erase(c);
      return;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    const int fd = info == nullptr ? -1 : info->connect_fd;
    // Small answers go out at once instead of waiting for the client's ACK.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    self->tracked[c] = {fd, Clock::now(), false};
  }

  // The next request on a kept-alive connection gets a deadline of its own.
  static void OnRequestDone(void* cls, MHD_Connection* c, void**, MHD_RequestTerminationCode) {
    auto* self = static_cast<Impl*>(cls);
    auto it = self->tracked.find(c);
    if (it != self->tracked.end()) it->second.since = Clock::now();
  }
};

MetricsServer::MetricsServer() : impl_(std::make_unique<Impl>()) {}

MetricsServer::~MetricsServer() { Stop(); }

bool MetricsServer::Start(const ListenAddress& where, std::string& error) {
  Impl& m = *impl_;
  m.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m.wakeFd < 0) {
    error = "cannot start the HTTP server: no event descriptor left";
    return false;
  }
  m.listenFd = OpenListenSocket(where, error);
  if (m.listenFd < 0) return false;
  m.port = BoundPort(m.listenFd);
  // External polling with epoll: the loop in Run drives the library, which
  // owns the listening socket from here on.
  m.daemon = MHD_start_daemon(
      MHD_USE_EPOLL, 0, nullptr, nullptr, &Impl::OnRequest, &m, MHD_OPTION_LISTEN_SOCKET,
      m.listenFd, MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemoryBytes,
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_CONNECTION_TIMEOUT,
      kIdleTimeoutSeconds, MHD_OPTION_URI_LOG_CALLBACK, &Impl::OnRequestLine, &m,
      MHD_OPTION_NOTIFY_CONNECTION, &Impl::OnConnection, &m, MHD_OPTION_NOTIFY_COMPLETED,
      &Impl::OnRequestDone, &m, MHD_OPTION_END);
  if (m.daemon == nullptr) {
    error = "cannot start the HTTP server on " + HostPort(where, m.port);
    close(m.listenFd);
    m.listenFd = -1;
    return false;
  }
  m.thread = std::thread([&m] { m.Run(); });
  return true;
}

int MetricsServer::port() const { return impl_->port; }

int MetricsServer::listenSocket() const { return impl_->listenFd; }

void MetricsServer::Publish(Published texts) {
  auto next = std::make_shared<const Published>(std::move(texts));
  std::lock_guard lock(impl_->mutex);
  impl_->current = std::move(next);
}

std::string MetricsServer::Failure() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->failure;
}

void MetricsServer::Stop() {
  Impl& m = *impl_;
  if (m.thread.joinable()) {
    m.stopping = true;
    const uint64_t one = 1;
    if (write(m.wakeFd, &one, sizeof one) < 0) {
      // The loop still wakes within a tick.
    }
    m.thread.join();
  }
  // The library closes every connection and the listening socket.
  if (m.daemon != nullptr) MHD_stop_daemon(m.daemon);
  m.daemon = nullptr;
  if (m.wakeFd >= 0) close(m.wakeFd);
  m.wakeFd = -1;
}

}  // namespace kev::metrics
