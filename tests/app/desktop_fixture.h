// A desktop program on a simulated board with a settings file written for
// the test: the same session the program's entry builds, without its loop.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/desktop_session.h"
#include "settings/hive_file.h"
#include "settings/settings_io.h"
#include "ui/display.h"

namespace kev::test {

// Settings as a first-time user would leave them: every row checked, the
// window closed, sampling every second.
inline MonitorSettings CheckedSettings() {
  MonitorSettings s = DefaultSettings({1024, 768, 257, 357});
  for (int ch = 1; ch <= kChannelCount; ++ch) ChannelChecked(s, ch) = true;
  return s;
}

// Runs check on the next modal widget that opens; check ends it.
inline void OnNextModal(const std::function<void(QWidget*)>& check) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, check] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    poll->stop();
    poll->deleteLater();
    check(modal);
  });
  poll->start(10);
}

class Desktop {
 public:
  explicit Desktop(const MonitorSettings& s, const char* board = "demo",
                   const std::function<void(ui::DisplayCore&)>& tweak = {}) {
    settingsPath_ = dir_.filePath(QStringLiteral("registry.reg")).toStdString();
    HiveFileRegistry hive(settingsPath_);
    if (!SaveSettings(hive, s)) qFatal("cannot write the test settings");
    const app::ProgramOptions options = app::ParseProgramOptions(
        {QStringLiteral("--board"), QLatin1String(board), QStringLiteral("--settings"),
         QString::fromStdString(settingsPath_)});
    std::string error;
    std::vector<std::string> problems;
    if (!session_.OpenMachine(options, nullptr, error) ||
        !session_.OpenSettings(options, error, problems)) {
      qFatal("%s", error.c_str());
    }
    ui::DisplayCore core = session_.Core(options, 1024, 768);
    core.trayAvailable = [] { return true; };
    if (tweak) tweak(core);
    display_ = std::make_unique<ui::TDisplay>(std::move(core));
  }

  ui::TDisplay& display() { return *display_; }
  app::DesktopSession& session() { return session_; }
  MonitorSettings& settings() { return session_.settings(); }
  const std::string& settingsPath() const { return settingsPath_; }

  template <class T = QWidget>
  T* find(const char* name) {
    T* w = display_->findChild<T*>(QLatin1String(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
  }
  QString panel(int channel) {
    return find<QLabel>(QStringLiteral("Panel%1").arg(channel).toLatin1().constData())->text();
  }

 private:
  QTemporaryDir dir_;
  std::string settingsPath_;
  app::DesktopSession session_;
  std::unique_ptr<ui::TDisplay> display_;
};

}  // namespace kev::test
