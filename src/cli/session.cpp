#include "cli/session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <ostream>

#include "hw/realports.h"
#include "monitor/logind_power.h"
#include "monitor/sampling.h"
#include "replay/board_text.h"
#include "settings/atomic_file.h"
#include "settings/settings_io.h"

namespace kev::cli {
namespace {

constexpr int32_t kNominalScreenWidth = 1024;
constexpr int32_t kNominalScreenHeight = 768;
// Outer size of the caption-less monitor window: 251 x 351 client area
// inside a 3-pixel dialog frame.
constexpr int32_t kMonitorWindowWidth = 257;
constexpr int32_t kMonitorWindowHeight = 357;

// Board files are a few KiB; anything far bigger is not one.
constexpr size_t kMaxBoardFileBytes = size_t{1} << 20;

// Why path cannot be read as a plain file, or empty when it can. A folder,
// a FIFO or a device would otherwise fail late, block, or read forever.
std::string PlainFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return "is a directory";
  if (!S_ISREG(st.st_mode)) return "is not a regular file";
  return {};
}

bool LooksLikeFile(const std::string& name) {
  std::error_code ec;
  return name.find('/') != std::string::npos || name.ends_with(".json") ||
         std::filesystem::exists(name, ec);
}

std::string CatalogueList() {
  std::string list;
  for (const std::string& n : sim::CatalogueBoardNames()) list += (list.empty() ? "" : ", ") + n;
  return list;
}

// The board file's text, or a problem naming the file.
std::optional<std::string> ReadBoardFile(const std::string& path, std::string& error) {
  std::string problem = PlainFileProblem(path);
  FileRead file;
  if (problem.empty()) {
    file = ReadFileCapped(path, kMaxBoardFileBytes + 1);
    if (!file.error.empty()) {
      error = "bad board: " + file.error;  // names the file itself
      return std::nullopt;
    }
    if (file.bytes.size() > kMaxBoardFileBytes) problem = "is larger than 1 MiB";
  }
  if (!problem.empty()) {
    error = "bad board: " + path + ": " + problem;
    return std::nullopt;
  }
  return std::move(file.bytes);
}

}  // namespace

std::unique_ptr<sim::SimBoard> OpenBoard(const std::string& name, std::string& error) {
  const std::vector<std::string> names = sim::CatalogueBoardNames();
  const bool inCatalogue = std::find(names.begin(), names.end(), name) != names.end();
  if (!inCatalogue && !LooksLikeFile(name)) {
    error = "unknown board '" + name + "' (catalogue: " + CatalogueList() + ")";
    return nullptr;
  }
  std::optional<std::string> text;
  if (!inCatalogue) {
    text = ReadBoardFile(name, error);
    if (!text) return nullptr;
  }
  sim::BoardResult r =
      inCatalogue ? sim::LoadCatalogueBoard(name) : replay::LoadBoardText(*text, name);
  if (!r) {
    error = "bad board: " + r.error().text();
    return nullptr;
  }
  return r.take();
}

namespace {

const char* ProcessEnv(const char* name) { return std::getenv(name); }

constexpr uint64_t kSleepSliceMs = 50;

}  // namespace

std::string SettingsFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return {};
  std::string problem = PlainFileProblem(path);
  if (problem.empty()) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) problem = std::strerror(errno);
    if (fd >= 0) ::close(fd);
  }
  return problem.empty() ? problem : "cannot read the settings file " + path + ": " + problem;
}

int32_t ChipPortSetting(const Registry& reg) {
  MonitorSettings s;
  LoadSettings(reg, s);
  return s.MainChipPortAddress;
}

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
    : options_(options), env_(env), err_(err) {
  HostServices services;
  services.err = &err;
  services.stopRequested = env.stopRequested;
  // The count-down waits its ten seconds for real unless a test clock is given.
  services.sleepMs = [&env](uint64_t ms) { SleepMs(env, ms); };
  services.saveSettings = [this] {
    std::string ignored;
    return !options_.save || Save(ignored);
  };
  if (!options.board) {
    if (env.power == nullptr) ownPower_ = std::make_unique<LogindPower>();
    services.power = env.power != nullptr ? env.power : ownPower_.get();
  }
  host_ = std::make_unique<CliHost>(options, std::move(services));
}

Session::~Session() = default;

std::unique_ptr<Session> Session::Open(const CliOptions& options, const CliEnv& env,
                                       std::ostream& err, std::string& error) {
  std::unique_ptr<Session> s(new Session(options, env, err));
  std::optional<OwnershipFacts> ownership;
  if (!options.board) {
    // Read before any port is touched, and while /proc/ioports still shows
    // its addresses to this process.
    ownership = ReadOwnership(env.roots);
    s->realPorts_ = env.openRealPorts ? env.openRealPorts() : std::make_unique<RealPorts>();
    if (!s->realPorts_->requestAccess()) {
      const std::string why = s->realPorts_->refusalReason();
      error = why.empty() ? "Port access refused: run as root or with CAP_SYS_RAWIO." : why;
      return nullptr;
    }
    s->io_ = s->realPorts_.get();
  }
  // All that needs privilege is done: board, settings and log files, the
  // output and the buses are handled without it.
  if (env.dropPrivileges) {
    const PrivilegeDrop drop = env.dropPrivileges();
    if (!drop.problem.empty()) {
      error = drop.problem;
      return nullptr;
    }
    s->detect_.SettingsPortRestricted = drop.forNonRootUser;
  }
  if (options.board) {
    s->board_ = OpenBoard(*options.board, error);
    if (!s->board_) return nullptr;
    s->io_ = &s->board_->machine();
  }

  const std::string path = options.settingsFile
                               ? *options.settingsFile
                               : DefaultHivePath(env.env ? env.env : EnvLookup(ProcessEnv));
  if (!path.empty()) {
    error = SettingsFileProblem(path);
    if (!error.empty()) return nullptr;
    s->hive_ = std::make_unique<HiveFileRegistry>(path);
    for (const std::string& problem : s->hive_->load()) {
      err << "kevatra-cli: " << path << ": " << problem << '\n';
    }
  }

  if (ownership) {
    const Registry& reg = s->hive_ ? static_cast<const Registry&>(*s->hive_) : s->scratch_;
    const std::vector<HardwareOwner> owners = FindOwners(*ownership, ChipPortSetting(reg));
    if (!owners.empty() && !options.force) {
      error = OwnersRefusalText(owners);
      return nullptr;
    }
    for (const HardwareOwner& o : owners) {
      err << "kevatra-cli: --force: going on although " << OwnerLine(o) << '\n';
    }
  }

  LogSeams seams = SystemLogSeams(s->files_);
  if (env.now) seams.now = env.now;
  s->ctx_ = std::make_unique<MonitorContext>(
      MonitorContext{*s->io_, s->settings_, s->detect_, s->channels_, *s->host_, OsVersion{},
                     std::string(), seams, UserNumberFormat()});
  s->rows_ = std::make_unique<RowModel>(s->settings_, s->detect_, s->channels_);
  return s;
}

void Session::Start() {
  StartupEnv env;
  env.args = options_.switches;
  env.registry = hive_ ? static_cast<const Registry*>(hive_.get()) : &scratch_;
  env.currentDirectory = env_.currentDirectory;
  // No screen here: centre first-run window defaults on the period's common
  // 1024x768 desktop, so a --save never parks the monitor window in a corner.
  env.screen = {kNominalScreenWidth, kNominalScreenHeight, kMonitorWindowWidth,
                kMonitorWindowHeight};
  const std::optional<StartupReport> report = startup_.Run(*ctx_, detect_, *rows_, *host_, env);
  if (report && !report->portRefusal.empty())
    err_ << "kevatra-cli: " << report->portRefusal << '\n';
}

bool Session::Save(std::string& error) {
  if (!hive_) {
    error = "no place for the settings file: neither XDG_CONFIG_HOME nor HOME is set";
    return false;
  }
  // Save what the monitor would: the loaded settings plus what start-up and
  // sampling changed (logs that failed included), without this run's own
  // overrides.
  FlushLogs(*ctx_);
  MonitorSettings toSave = settings_;
  host_->overrides().Restore(toSave);
  const SaveResult r = SaveSettings(*hive_, toSave);
  if (!r.ok) error = "cannot save the settings: " + r.error;
  return r.ok;
}

}  // namespace kev::cli
