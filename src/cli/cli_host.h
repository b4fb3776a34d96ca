// The terminal's stand-in for the monitor window: panel texts go into a row
// store, there is no window or tray, and error actions act only when the
// user asked for them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "cli/options.h"
#include "monitor/startup.h"
#include "monitor/system_power.h"
#include "settings/monitor_settings.h"

namespace kev::cli {

// Changes to the loaded settings that hold for this run only and are undone
// before a save: error actions off unless asked for, logging off unless
// asked for, every channel checked with --all or while nothing was ever saved.
class RunOverrides {
 public:
  void Apply(MonitorSettings& s, const CliOptions& o);
  void Restore(MonitorSettings& s) const;

 private:
  bool masksActions_ = false;
  bool masksLogging_ = false;
  bool masksChecked_ = false;
  std::array<bool, 4> actions_{};
  std::array<bool, kChannelCount> logging_{};
  std::array<bool, kChannelCount> checked_{};
};

struct HostServices {
  std::ostream* err = nullptr;
  std::function<bool()> stopRequested;       // Ctrl+C or SIGTERM seen
  std::function<void(uint64_t ms)> sleepMs;  // returns early once stopRequested
  SystemPower* power = nullptr;              // null: power requests are refused
  std::function<bool()> saveSettings;        // the host's SaveSettings
};

inline constexpr int kCountDownSeconds = 10;

class CliHost : public StartupHost {
 public:
  CliHost(const CliOptions& options, HostServices services);

  const std::string& panelText(int channel) const;
  bool alarm() const { return alarm_; }
  const RunOverrides& overrides() const { return overrides_; }

  void SettingsLoaded(MonitorSettings& settings) override;
  void ApplyTransparency(int32_t) override {}
  void AddTrayIcon() override {}
  void SetRefreshVisible(bool) override {}

  void SetPanelText(int channel, const std::string& text) override;
  bool WindowVisible() const override { return false; }
  void OpenWindow(bool alarm) override;
  void SetTrayImage(bool alarm) override { alarm_ = alarm; }
  // Prints the message and counts down in the terminal; Ctrl+C cancels.
  bool ShowCountDown(const std::string& message) override;
  void PlaySoundAsync(const std::string& path) override;
  bool SaveSettings() override;
  bool PowerPrivilege(PowerAction action) override;
  bool RequestPower(PowerAction action) override;

 private:
  std::ostream& err() const { return *services_.err; }

  const CliOptions& options_;
  HostServices services_;
  RunOverrides overrides_;
  std::array<std::string, kChannelCount> panels_;
  bool alarm_ = false;
};

}  // namespace kev::cli
