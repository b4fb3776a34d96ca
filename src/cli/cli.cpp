#include "cli/cli.h"

#include <exception>
#include <optional>
#include <ostream>

#include "cli/board_from_dump.h"
#include "cli/check.h"
#include "cli/export.h"
#include "cli/output.h"
#include "report/profile.h"
#include "report/summary.h"

namespace kev::cli {
namespace {

constexpr uint64_t kFallbackIntervalMs = 1000;
bool Stopped(const CliEnv& env) { return env.stopRequested && env.stopRequested(); }

uint64_t WatchInterval(Session& s, const CliOptions& o, std::ostream& err) {
  if (o.intervalMs) return *o.intervalMs;
  const int32_t stored = s.settings().IntervalTime;
  if (stored > 0) return static_cast<uint64_t>(stored);
  err << "kevatra-cli: IntervalTime is " << stored << " (sampling on demand); sampling every "
      << kFallbackIntervalMs / 1000 << " s\n";
  return kFallbackIntervalMs;
}

// Writes the metrics file of the sample in hand, if asked for. A path that
// fails at once ends the run; a later failure is reported once and the
// watch goes on.
class MetricsFileWriter {
 public:
  MetricsFileWriter(Session& s, const CliOptions& o) : session_(s), options_(o) {}
  bool Write(std::ostream& err) {
    if (!options_.metricsFile) return true;
    if (!exporter_) exporter_.emplace(session_, options_);
    const std::string problem = exporter_->WriteMetricsFile(exporter_->Texts().metrics);
    if (!problem.empty() && problem != lastProblem_) err << "kevatra-cli: " << problem << '\n';
    lastProblem_ = problem;
    return problem.empty();
  }

 private:
  Session& session_;
  const CliOptions& options_;
  std::optional<SampleExport> exporter_;
  std::string lastProblem_;
};

int Watch(Session& s, const CliOptions& o, const CliEnv& env, std::ostream& out,
          std::ostream& err) {
  const uint64_t interval = WatchInterval(s, o, err);
  const auto now = [&] { return s.context().log.now ? s.context().log.now() : SystemLocalTime(); };
  MetricsFileWriter metrics(s, o);
  // The start-up sequence has taken the first sample.
  out << FormatWatchLine(Snapshot(s), now()) << std::flush;
  if (!metrics.Write(err)) return kExitFailure;
  for (uint64_t taken = 1; !o.count || taken < *o.count; ++taken) {
    SleepMs(env, interval);
    if (Stopped(env)) break;
    NextSample(s, interval);
    out << FormatWatchLine(Snapshot(s), now()) << std::flush;
    if (!out) break;  // nobody reads any more; the caller reports it
    metrics.Write(err);
  }
  return kExitOk;
}

std::string Profile(Session& s) {
  report::MonitorWindowText window;
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    const auto i = static_cast<size_t>(ch - 1);
    window.labels[i] = s.channels()[i].ChannelLabel;
    window.texts[i] = s.host().panelText(ch);
  }
  const report::InfoSummary summary = report::GatherSummary(s.io());
  return report::BuildProfileText(s.io(), summary, s.settings(), s.detect(), window);
}

int RunCommand(Session& s, const CliOptions& o, const CliEnv& env, std::ostream& out,
               std::ostream& err) {
  int code = kExitOk;
  switch (o.command) {
    case Command::Report:
      out << (o.json ? FormatReportJson(Snapshot(s), ReportedChipName(s), o.board)
                     : FormatReport(Snapshot(s)));
      break;
    case Command::Watch:
      code = Watch(s, o, env, out, err);
      break;
    case Command::Serve:
      code = Serve(s, o, env, WatchInterval(s, o, err), err);
      break;
    case Command::Info:
      out << FormatSummary(report::GatherSummary(s.io()));
      break;
    case Command::Profile:
      out << Profile(s);
      break;
    case Command::Check:
    case Command::BoardFromDump:
    case Command::Help:
    case Command::Version:
      break;
  }
  std::string error;
  if (o.save && !s.Save(error)) {
    err << "kevatra-cli: " << error << '\n';
    return kExitFailure;
  }
  return code;
}

// A command whose text did not reach its reader (a full disk, a closed
// pipe) has failed, whatever it did before.
int CheckWritten(std::ostream& out, std::ostream& err, int code) {
  if (out.flush()) return code;
  err << "kevatra-cli: cannot write the output\n";
  return kExitFailure;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnv& env) {
  const ParsedOptions parsed = ParseOptions(args);
  if (!parsed.ok()) {
    err << "kevatra-cli: " << parsed.error << " (see kevatra-cli --help)\n";
    return kExitUsage;
  }
  const CliOptions& o = parsed.options;
  if (o.command == Command::Help) return CheckWritten(out << UsageText(), err, kExitOk);
  if (o.command == Command::Version) {
    return CheckWritten(out << kVersionText << '\n', err, kExitOk);
  }
  try {
    // Pastes are parsed without privilege: nothing here needs a port.
    if (o.command == Command::BoardFromDump && env.dropPrivileges) {
      const PrivilegeDrop drop = env.dropPrivileges();
      if (!drop.problem.empty()) {
        err << "kevatra-cli: " << drop.problem << '\n';
        return kExitFailure;
      }
    }
    if (o.command == Command::Check) return CheckWritten(out, err, RunCheck(o, env, out, err));
    if (o.command == Command::BoardFromDump)
      return CheckWritten(out, err, RunBoardFromDump(o, out, err));
    std::string error;
    std::unique_ptr<Session> session = Session::Open(o, env, err, error);
    if (!session) {
      err << "kevatra-cli: " << error << '\n';
      return kExitFailure;
    }
    session->Start();
    return CheckWritten(out, err, RunCommand(*session, o, env, out, err));
  } catch (const std::exception& e) {
    err << "kevatra-cli: " << e.what() << '\n';
    return kExitFailure;
  }
}

}  // namespace kev::cli
