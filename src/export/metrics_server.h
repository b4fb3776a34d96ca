// The HTTP side of `kevatra-cli serve`: answers scrapes from the texts of
// the last sample, which the sampling thread publishes.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace kev::metrics {

// Where to listen: "ADDR:PORT" (an IPv6 address in brackets). False with
// error set when the text is no such pair.
struct ListenAddress {
  std::string host = "127.0.0.1";
  int port = 9715;
};
bool ParseListenAddress(const std::string& text, ListenAddress& out, std::string& error);

// The texts one sample gives.
struct Published {
  std::string metrics;  // Prometheus text exposition
  std::string json;     // the report --json document
};

class MetricsServer {
 public:
  MetricsServer();
  ~MetricsServer();  // stops and joins
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Binds (port 0: any free port) and serves on threads of its own. False
  // with error set when the address cannot be used.
  bool Start(const ListenAddress& where, std::string& error);
  int port() const { return port_; }
  // Replaces what the next scrapes answer.
  void Publish(Published texts);
  void Stop();

 private:
  std::shared_ptr<const Published> Current() const;

  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::shared_ptr<const Published> current_;
};

}  // namespace kev::metrics
