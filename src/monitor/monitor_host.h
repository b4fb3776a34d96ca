// What the sampling cycle needs from the program around it. The desktop
// window and the command-line tool each implement it.
#pragma once

#include <string>

namespace kev {

enum class PowerAction { PowerOff, Suspend };

class MonitorHost {
 public:
  virtual ~MonitorHost() = default;

  // Value panel of channel 1..15.
  virtual void SetPanelText(int channel, const std::string& text) = 0;

  virtual bool WindowVisible() const = 0;
  virtual void OpenWindow(bool alarm) = 0;
  virtual void SetTrayImage(bool alarm) = 0;

  // Modal 10-second count-down; true when the user cancelled it. Further
  // sampling cycles may run while it is open.
  virtual bool ShowCountDown(const std::string& message) = 0;

  // Starts playing a sound file and returns at once; the path may be empty.
  virtual void PlaySoundAsync(const std::string& path) = 0;

  virtual bool SaveSettings() = 0;

  // Whether this process may ask the system for the action.
  virtual bool PowerPrivilege(PowerAction action) = 0;
  // Asks the system to power off or suspend without interaction; true when
  // the request was accepted.
  virtual bool RequestPower(PowerAction action) = 0;
};

}  // namespace kev
