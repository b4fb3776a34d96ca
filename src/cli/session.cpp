#include "cli/session.h"

#include <algorithm>
#include <ctime>
#include <ostream>

#include "monitor/sampling.h"
#include "session/privileged_start.h"
#include "session/settings_file.h"

namespace kev::cli {
namespace {

// No screen here: first-run window defaults are centred on the period's
// common 1024x768 desktop, so a --save never parks the monitor window in a corner.
constexpr int32_t kNominalScreenWidth = 1024;
constexpr int32_t kNominalScreenHeight = 768;

constexpr uint64_t kSleepSliceMs = 50;

}  // namespace

void SleepMs(const CliEnv& env, uint64_t ms) {
  if (env.sleepMs) return env.sleepMs(ms);
  while (ms > 0 && !(env.stopRequested && env.stopRequested())) {
    const uint64_t slice = std::min(ms, kSleepSliceMs);
    timespec ts{static_cast<time_t>(slice / 1000), static_cast<long>((slice % 1000) * 1000000)};
    nanosleep(&ts, nullptr);
    ms -= slice;
  }
}

Session::Session(const CliOptions& options, const CliEnv& env, std::ostream& err)
    : options_(options), env_(env), err_(err) {}

Session::~Session() = default;

std::unique_ptr<Session> Session::Open(const CliOptions& options, const CliEnv& env,
                                       std::ostream& err, std::string& error) {
  std::unique_ptr<Session> s(new Session(options, env, err));
  session::ProgramSession& core = s->core_;
  session::PrivilegedStart start =
      session::StartPrivileged(!options.board, {env.roots, env.openRealPorts, env.dropPrivileges});
  if (!core.OpenMachine(options.board, std::move(start.ports), error)) return nullptr;
  if (!start.privileges.problem.empty()) {
    error = start.privileges.problem;
    return nullptr;
  }
  // On real ports a stored chip port is used only where monitoring chips sit.
  core.RestrictSettingsPorts(!options.board || start.privileges.forNonRootUser);

  std::vector<std::string> problems;
  if (!core.OpenSettings(options.settingsFile, env.env, error, problems)) return nullptr;
  for (const std::string& p : problems) err << "kevatra-cli: " << p << '\n';

  if (start.ownership) {
    if (!core.CheckOwners(*start.ownership, options.force, error)) return nullptr;
    for (const HardwareOwner& o : core.owners()) {
      err << "kevatra-cli: --force: going on although " << OwnerLine(o) << '\n';
    }
    for (const HardwareOwner& o : core.held()) err << "kevatra-cli: " << OwnerLine(o) << '\n';
  }

  HostServices services;
  services.err = &err;
  services.stopRequested = env.stopRequested;
  // The count-down waits its ten seconds for real unless a test clock is given.
  services.sleepMs = [&env](uint64_t ms) { SleepMs(env, ms); };
  Session* self = s.get();
  services.saveSettings = [self] {
    std::string ignored;
    return !self->options_.save || self->Save(ignored);
  };
  if (!options.board) services.power = env.power != nullptr ? env.power : core.power();
  s->host_ = std::make_unique<CliHost>(options, std::move(services));

  LogSeams seams = SystemLogSeams(core.files());
  if (env.now) seams.now = env.now;
  s->ctx_ = std::make_unique<MonitorContext>(
      MonitorContext{core.io(), core.settings(), core.detect(), core.channels(), *s->host_,
                     OsVersion{}, std::string(), seams, UserNumberFormat()});
  s->rows_ = std::make_unique<RowModel>(core.settings(), core.detect(), core.channels());
  return s;
}

void Session::Start() {
  StartupEnv env = core_.Startup(options_.switches, kNominalScreenWidth, kNominalScreenHeight);
  env.currentDirectory = env_.currentDirectory;
  const std::optional<StartupReport> report =
      startup_.Run(*ctx_, core_.detect(), *rows_, *host_, env);
  if (report && !report->portRefusal.empty())
    err_ << "kevatra-cli: " << report->portRefusal << '\n';
}

bool Session::Save(std::string& error) {
  if (!core_.hasSettingsPlace()) {
    error = session::kNoSettingsPlace;
    return false;
  }
  // Save what the monitor would: the loaded settings plus what start-up and
  // sampling changed (logs that failed included), without this run's own
  // overrides.
  FlushLogs(*ctx_);
  MonitorSettings toSave = core_.settings();
  host_->overrides().Restore(toSave);
  const SaveResult r = core_.Save(toSave);
  if (!r.ok) error = "cannot save the settings: " + r.error;
  return r.ok;
}

}  // namespace kev::cli
