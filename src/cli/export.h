// The readings of the last sample for other programs: the metrics file of
// watch and serve, and what serve answers over HTTP.
#pragma once

#include <string>
#include <string_view>

#include "cli/output.h"
#include "cli/session.h"
#include "export/metrics_server.h"

namespace kev::cli {

RowsSnapshot Snapshot(Session& s);
// The chip as the information report names it.
std::string_view ReportedChipName(Session& s);

// Samples every channel once more; a simulated board's clock first moves on
// by the interval.
void NextSample(Session& s, uint64_t intervalMs);

class SampleExport {
 public:
  // history: the rings serve keeps, or null.
  SampleExport(Session& s, const CliOptions& o, const ChannelHistory* history = nullptr,
               uint64_t intervalMs = 0);
  // The texts of the sample in hand, stamped with the current time.
  metrics::Published Texts() const;
  // Replaces the metrics file, when one was asked for; the problem, or empty.
  std::string WriteMetricsFile(const std::string& metrics) const;

 private:
  Session& session_;
  const CliOptions& options_;
  std::string pmDevice_;  // named once: naming may read the hardware
  const ChannelHistory* history_;
  uint64_t intervalMs_;
};

// Samples every interval and answers scrapes until a stop is requested.
int Serve(Session& s, const CliOptions& o, const CliEnv& env, uint64_t intervalMs,
          std::ostream& err);

}  // namespace kev::cli
