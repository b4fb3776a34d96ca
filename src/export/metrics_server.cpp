#include "export/metrics_server.h"

#include <httplib.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <deque>

namespace kev::metrics {
namespace {

// Scrapes are small GETs: a few workers, a short queue of accepted
// connections, and time-outs so a slow or silent client lets go soon.
constexpr size_t kWorkerThreads = 8;
constexpr size_t kMaxQueuedConnections = 64;
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kWriteTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 5;
constexpr size_t kKeepAliveRequests = 100;
constexpr size_t kMaxPayloadBytes = 1024;

constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* kJsonType = "application/json";

// A fixed set of workers. When the queue is full the accepting thread waits
// for room, so that further clients wait in the kernel's listen backlog
// instead of in memory here.
class BoundedPool : public httplib::TaskQueue {
 public:
  BoundedPool() {
    for (size_t i = 0; i < kWorkerThreads; ++i) workers_.emplace_back([this] { Work(); });
  }
  void enqueue(std::function<void()> fn) override {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return jobs_.size() < kMaxQueuedConnections || closing_; });
    jobs_.push_back(std::move(fn));
    ready_.notify_one();
  }
  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    ready_.notify_all();
    room_.notify_all();
    for (std::thread& t : workers_) t.join();
  }

 private:
  void Work() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !jobs_.empty() || closing_; });
        if (jobs_.empty()) return;  // closing, and every accepted connection served
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      room_.notify_one();
      job();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> workers_;
  bool closing_ = false;
};

}  // namespace

bool ParseListenAddress(const std::string& text, ListenAddress& out, std::string& error) {
  const size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  int port = -1;
  const char* first = text.data() + (colon == std::string::npos ? 0 : colon + 1);
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(first, end, port);
  if (host.empty() || host.find_first_of("[]") != std::string::npos || first == end ||
      ec != std::errc() || p != end || port < 0 || port > 65535) {
    error = "--listen needs ADDR:PORT with a port from 0 to 65535, not '" + text + "'";
    return false;
  }
  out = {host, port};
  return true;
}

MetricsServer::MetricsServer() : server_(std::make_unique<httplib::Server>()) {
  httplib::Server& s = *server_;
  s.new_task_queue = [] { return new BoundedPool; };
  s.set_read_timeout(kReadTimeoutSeconds);
  s.set_write_timeout(kWriteTimeoutSeconds);
  s.set_keep_alive_timeout(kKeepAliveSeconds);
  s.set_keep_alive_max_count(kKeepAliveRequests);
  s.set_payload_max_length(kMaxPayloadBytes);
  s.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(Current()->metrics, kMetricsType);
  });
  s.Get("/readings.json", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(Current()->json, kJsonType);
  });
  current_ = std::make_shared<const Published>();
}

MetricsServer::~MetricsServer() { Stop(); }

bool MetricsServer::Start(const ListenAddress& where, std::string& error) {
  port_ = where.port == 0 ? server_->bind_to_any_port(where.host)
                          : (server_->bind_to_port(where.host, where.port) ? where.port : -1);
  if (port_ <= 0) {
    error = "cannot listen on " + where.host + ":" + std::to_string(where.port) +
            " (address in use or not on this machine)";
    return false;
  }
  auto finished = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, finished] {
    server_->listen_after_bind();
    *finished = true;
  });
  // A stop before the server runs would be lost; wait until it accepts.
  while (!server_->is_running() && !*finished) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void MetricsServer::Publish(Published texts) {
  auto next = std::make_shared<const Published>(std::move(texts));
  std::lock_guard lock(mutex_);
  current_ = std::move(next);
}

std::shared_ptr<const Published> MetricsServer::Current() const {
  std::lock_guard lock(mutex_);
  return current_;
}

void MetricsServer::Stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

}  // namespace kev::metrics
