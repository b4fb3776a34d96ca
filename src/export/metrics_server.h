// The HTTP side of `kevatra-cli serve`: answers scrapes from the texts of
// the last sample, which the sampling thread publishes.
#pragma once

#include <memory>
#include <string>

#include "export/history_view.h"
#include "export/listen_socket.h"

namespace kev::metrics {

// The texts one sample gives.
struct Published {
  std::string metrics;                                   // Prometheus text exposition
  std::string json;                                      // the report --json document
  std::shared_ptr<const HistoryView> history = nullptr;  // for "/" and /history.json; may be null
};

class MetricsServer {
 public:
  MetricsServer();
  ~MetricsServer();  // stops
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  // Binds (port 0: any free port) and serves on a thread of its own. False
  // with error set when the address cannot be used.
  bool Start(const ListenAddress& where, std::string& error);
  int port() const;
  // Replaces what the next scrapes answer.
  void Publish(Published texts);
  // Why the server stopped serving by itself (its listening socket died),
  // or empty while it serves.
  std::string Failure() const;
  // Drops every client at once and returns; bounded whatever they do.
  void Stop();
  // The listening socket, -1 before Start.
  int listenSocket() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kev::metrics
