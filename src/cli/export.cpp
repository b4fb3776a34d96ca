#include "cli/export.h"

#include <chrono>
#include <filesystem>
#include <ostream>

#include "cli/cli.h"
#include "detect/detect.h"
#include "export/history_view.h"
#include "export/metrics.h"
#include "monitor/history_import.h"
#include "monitor/sampling.h"
#include "settings/atomic_file.h"

namespace kev::cli {
namespace {

// Readable by a collector running as another user.
constexpr mode_t kMetricsFileMode = 0644;

double SecondsSince1970() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

// The rings serve keeps: filled from the logs of channels that log and
// the sample the start-up took, then by every cycle while it lives.
class ServedHistory {
 public:
  ServedHistory(Session& s, uint64_t intervalMs, std::ostream& err) : session_(s) {
    history_.FixInterval(static_cast<int64_t>(intervalMs));
    const LogImport imported = ImportChannelLogs(s.context(), history_);
    if (imported.skipped > 0) {
      err << "kevatra-cli: history: " << imported.skipped
          << " lines of the channel logs are no log lines and were skipped\n";
    }
    history_.RecordCycle(s.channels(), s.settings());
    s.context().history = &history_;
  }
  ~ServedHistory() { session_.context().history = nullptr; }
  ServedHistory(const ServedHistory&) = delete;
  ServedHistory& operator=(const ServedHistory&) = delete;
  const ChannelHistory* get() const { return &history_; }

 private:
  Session& session_;
  ChannelHistory history_;
};

}  // namespace

RowsSnapshot Snapshot(Session& s) {
  return {s.rows(), s.channels(), s.settings(), s.context().numbers.decimalPoint};
}

std::string_view ReportedChipName(Session& s) {
  return ChipName(report::NamedChipKind(s.detect().chip.ChipKind, s.detect().pm));
}

void NextSample(Session& s, uint64_t intervalMs) {
  if (s.board() != nullptr) s.board()->advanceMs(intervalMs);
  SampleAllChannels(s.context());
}

SampleExport::SampleExport(Session& s, const CliOptions& o, const ChannelHistory* history,
                           uint64_t intervalMs)
    : session_(s),
      options_(o),
      pmDevice_(PmDeviceName(s.io(), s.detect().pm.VendorDevice, s.detect().pm.Revision)),
      history_(history),
      intervalMs_(intervalMs) {}

metrics::Published SampleExport::Texts() const {
  const RowsSnapshot rows = Snapshot(session_);
  const std::string_view chip = ReportedChipName(session_);
  const DetectState& detect = session_.detect();
  const metrics::MetricsSource source{
      detect,         report::NamedChipKind(detect.chip.ChipKind, detect.pm),
      chip,           pmDevice_,
      kVersionNumber, SecondsSince1970()};
  // Served to other machines: a board file is named, its path not shown.
  std::optional<std::string> board;
  if (options_.board) board = std::filesystem::path(*options_.board).stem().string();
  metrics::Published texts{metrics::FormatMetrics(rows, source),
                           FormatReportJson(rows, chip, board), nullptr};
  if (history_ != nullptr) {
    texts.history = std::make_shared<const metrics::HistoryView>(
        metrics::MakeHistoryView(rows, detect, history_, intervalMs_));
  }
  return texts;
}

std::string SampleExport::WriteMetricsFile(const std::string& metrics) const {
  if (!options_.metricsFile) return {};
  // A new file with an unpredictable name, renamed over the old one: a
  // collector never reads half a sample, and no planted link is followed.
  const SaveResult r = ReplaceFileExclusively(*options_.metricsFile, metrics, kMetricsFileMode);
  return r.ok ? std::string() : "cannot write the metrics file: " + r.error;
}

int Serve(Session& s, const CliOptions& o, const CliEnv& env, uint64_t intervalMs,
          std::ostream& err) {
  metrics::ListenAddress where;
  std::string problem;
  if (o.listen) metrics::ParseListenAddress(*o.listen, where, problem);
  // Recorded on this thread; the server reads it under the rings' lock.
  const ServedHistory history(s, intervalMs, err);
  const SampleExport exporter(s, o, history.get(), intervalMs);
  metrics::Published texts = exporter.Texts();
  problem = exporter.WriteMetricsFile(texts.metrics);
  metrics::MetricsServer server;
  server.Publish(std::move(texts));
  if (problem.empty()) server.Start(where, problem);
  if (!problem.empty()) {
    err << "kevatra-cli: " << problem << '\n';
    return kExitFailure;
  }
  err << "kevatra-cli: serving http://" << metrics::HostPort(where, server.port()) << "/metrics\n"
      << std::flush;
  // The wait between samples also ends when the server fails, so that a
  // supervisor sees the failure and restarts the service.
  CliEnv waiting = env;
  waiting.stopRequested = [&env, &server] {
    return (env.stopRequested && env.stopRequested()) || !server.Failure().empty();
  };
  std::string lastProblem;
  for (;;) {
    SleepMs(waiting, intervalMs);
    if (env.stopRequested && env.stopRequested()) break;
    if (const std::string failed = server.Failure(); !failed.empty()) {
      err << "kevatra-cli: " << failed << '\n';
      return kExitFailure;
    }
    NextSample(s, intervalMs);
    texts = exporter.Texts();
    problem = exporter.WriteMetricsFile(texts.metrics);
    if (!problem.empty() && problem != lastProblem) err << "kevatra-cli: " << problem << '\n';
    lastProblem = problem;
    server.Publish(std::move(texts));
  }
  server.Stop();
  return kExitOk;
}

}  // namespace kev::cli
