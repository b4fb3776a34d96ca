// Test doubles for the sampling cycle: a scripted host, log files in memory
// that fail on demand, and a rig that wires them to a port-I/O backend.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "monitor/monitor_context.h"

namespace kev::test {

class ScriptedHost : public MonitorHost {
 public:
  void SetPanelText(int channel, const std::string& text) override { panels[channel] = text; }
  bool WindowVisible() const override { return visible; }
  void OpenWindow(bool alarm) override {
    events.push_back(alarm ? "open-alarm" : "open");
    visible = true;
  }
  void SetTrayImage(bool alarm) override { tray.push_back(alarm); }
  bool ShowCountDown(const std::string& message) override {
    events.push_back("countdown:" + message);
    return onCountDown ? onCountDown(message) : false;
  }
  void PlaySoundAsync(const std::string& path) override { events.push_back("sound:" + path); }
  bool SaveSettings() override {
    events.push_back("save");
    return true;
  }
  bool PowerPrivilege(PowerAction a) override { return privileged.count(a) != 0; }
  bool RequestPower(PowerAction a) override {
    events.push_back(a == PowerAction::PowerOff ? "poweroff" : "suspend");
    return true;
  }

  std::map<int, std::string> panels;
  bool visible = false;
  std::vector<bool> tray;
  std::vector<std::string> events;
  // Returns true to cancel; may run further cycles meanwhile.
  std::function<bool(const std::string&)> onCountDown;
  std::set<PowerAction> privileged{PowerAction::PowerOff, PowerAction::Suspend};
};

// Log files in memory. failing names the operations that fail.
class MemoryLogFiles : public LogFileSystem {
 public:
  enum Op { kSizeOf, kReadAll, kAppend, kReplace };

  Open SizeOf(const std::string& path, uint64_t& size) override {
    if (failing.count(kSizeOf) != 0) return Open::Failed;
    auto it = files.find(path);
    if (it == files.end()) return Open::Missing;
    size = it->second.size();
    return Open::Ok;
  }
  bool ReadAll(const std::string& path, std::string& out) override {
    if (failing.count(kReadAll) != 0 || files.count(path) == 0) return false;
    out = files[path];
    return true;
  }
  bool Append(const std::string& path, std::string_view data) override {
    if (failing.count(kAppend) != 0) return false;
    files[path] += data;
    return true;
  }
  bool Replace(const std::string& path, std::string_view content) override {
    if (failing.count(kReplace) != 0) return false;
    files[path] = std::string(content);
    return true;
  }

  std::map<std::string, std::string> files;
  std::set<Op> failing;
};

// Everything a cycle needs around one PortIo, with settings and detection
// records that the test fills in.
struct MonitorRig {
  explicit MonitorRig(PortIo& io)
      : ctx{io, settings, detect, channels, host, OsVersion{}, "/start/", {}, NumberFormat{}} {
    ctx.log.now = [this] { return now; };
    ctx.log.freeSpace = [this] { return freeBytes; };
    ctx.log.files = &files;
  }
  MonitorRig(const MonitorRig&) = delete;
  MonitorRig& operator=(const MonitorRig&) = delete;

  MonitorSettings settings;
  DetectState detect;
  ChannelSet channels = MakeChannels();
  ScriptedHost host;
  MemoryLogFiles files;
  LocalTime now{2001, 5, 12, 13, 45, 10};
  uint64_t freeBytes = uint64_t{1} << 30;
  MonitorContext ctx;
};

}  // namespace kev::test
