// The monitor window's "Setting" command.
#include <QLocale>
#include <QTimer>

#include "ui/display.h"
#include "ui/setting.h"

namespace kev::ui {

void TDisplay::miSettingClick() {
  SettingEnv env;
  env.settings = core_.settings;
  env.detect = core_.detect;
  env.io = core_.io;
  env.os = core_.os;
  env.numbers = core_.numbers;
  env.asmsMode = asmsMode_;
  env.autostart = core_.startup.autostart;
  env.japanese = QLocale::system().language() == QLocale::Japanese;
  env.channelLabel = [this](int channel) { return std::string(rows_->ChannelLabel(channel)); };
  env.playSound = core_.playSound;
  env.setInterval = [this](int32_t ms) {
    timer_->stop();
    if (ms > 0) timer_->start(ms);
  };
  env.setRefreshVisible = [this](bool visible) { SetRefreshVisible(visible); };
  env.applyTransparency = [this](int32_t percent) {
    if (IsNt5(core_.os)) ApplyTransparency(percent);
  };
  RunMenuDialog(miSetting_, new TSetting(std::move(env)));
}

}  // namespace kev::ui
