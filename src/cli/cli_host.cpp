#include "cli/cli_host.h"

#include <ostream>
#include <stdexcept>

namespace kev::cli {
namespace {

constexpr std::array<bool MonitorSettings::*, 4> kActionSwitches{
    &MonitorSettings::ErrAct1Switch, &MonitorSettings::ErrAct2Switch,
    &MonitorSettings::ErrAct3Switch, &MonitorSettings::ErrAct4Switch};

constexpr uint64_t kSecondMs = 1000;

const char* ActionName(PowerAction a) {
  return a == PowerAction::PowerOff ? "power off" : "suspend";
}

}  // namespace

void RunOverrides::Apply(MonitorSettings& s, const CliOptions& o) {
  masksActions_ = !o.actions;
  masksLogging_ = !o.log;
  masksChecked_ = o.all || s.SettingsDefaulted;
  for (size_t i = 0; i < kActionSwitches.size(); ++i) {
    actions_[i] = s.*kActionSwitches[i];
    if (masksActions_) s.*kActionSwitches[i] = false;
  }
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    const auto i = static_cast<size_t>(ch - 1);
    logging_[i] = ChannelLogging(s, ch);
    checked_[i] = ChannelChecked(s, ch);
    if (masksLogging_) ChannelLogging(s, ch) = false;
    if (masksChecked_) ChannelChecked(s, ch) = true;
  }
}

void RunOverrides::Restore(MonitorSettings& s) const {
  for (size_t i = 0; i < kActionSwitches.size(); ++i) {
    if (masksActions_) s.*kActionSwitches[i] = actions_[i];
  }
  for (int ch = 1; ch <= kChannelCount; ++ch) {
    const auto i = static_cast<size_t>(ch - 1);
    if (masksLogging_) ChannelLogging(s, ch) = logging_[i];
    if (masksChecked_) ChannelChecked(s, ch) = checked_[i];
  }
}

CliHost::CliHost(const CliOptions& options, HostServices services)
    : options_(options), services_(std::move(services)) {
  if (services_.err == nullptr) throw std::invalid_argument("CliHost needs an error stream");
}

const std::string& CliHost::panelText(int channel) const {
  if (channel < 1 || channel > kChannelCount) throw std::out_of_range("channel out of range");
  return panels_[static_cast<size_t>(channel - 1)];
}

void CliHost::SettingsLoaded(MonitorSettings& settings) { overrides_.Apply(settings, options_); }

void CliHost::SetPanelText(int channel, const std::string& text) {
  if (channel < 1 || channel > kChannelCount) return;
  panels_[static_cast<size_t>(channel - 1)] = text;
}

void CliHost::OpenWindow(bool alarm) {
  // Start-up opens the window when it was open at the last exit; a terminal
  // has none, so only an alarm is worth a note.
  if (alarm) err() << "kevatra-cli: error action: a channel is in error (monitor window)\n";
}

bool CliHost::ShowCountDown(const std::string& message) {
  if (!options_.actions) return true;
  err() << "kevatra-cli: " << message << " Press Ctrl+C to cancel.\n";
  for (int left = kCountDownSeconds; left > 0; --left) {
    err() << left << (left > 1 ? "... " : "...\n") << std::flush;
    if (services_.sleepMs) services_.sleepMs(kSecondMs);
    if (services_.stopRequested && services_.stopRequested()) {
      err() << "\nkevatra-cli: count-down cancelled\n";
      return true;
    }
  }
  return false;
}

void CliHost::PlaySoundAsync(const std::string&) {
  if (options_.actions) err() << '\a' << std::flush;  // the terminal's bell
}

bool CliHost::SaveSettings() { return services_.saveSettings ? services_.saveSettings() : true; }

bool CliHost::PowerPrivilege(PowerAction action) {
  if (!options_.actions) return false;
  if (services_.power == nullptr) {
    err() << "kevatra-cli: error action: " << ActionName(action)
          << " not requested on a simulated board\n";
    return false;
  }
  if (services_.power->MayRequest(action)) return true;
  err() << "kevatra-cli: error action: " << ActionName(action)
        << " not possible: the login manager is not running or does not allow it\n";
  return false;
}

bool CliHost::RequestPower(PowerAction action) {
  if (!options_.actions || services_.power == nullptr) return false;
  err() << "kevatra-cli: error action: requesting " << ActionName(action) << '\n';
  if (services_.power->Request(action)) return true;
  err() << "kevatra-cli: error action: the login manager refused to " << ActionName(action) << '\n';
  return false;
}

}  // namespace kev::cli
