// The information window: a summary of a fresh hardware probe, and "Clip",
// which puts the hardware monitoring profile on the clipboard.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "detect/ownership.h"
#include "report/profile.h"
#include "report/summary.h"

class QLabel;
class QPushButton;
class QTimer;

namespace kev::ui {

// What the window reads: the machine, the running program's settings and
// detection records, and the monitor window's rows at the time of "Clip".
struct InfoSources {
  PortIo* io = nullptr;
  const MonitorSettings* settings = nullptr;
  const DetectState* detect = nullptr;
  std::function<report::MonitorWindowText()> windowText;
  std::vector<HardwareOwner> owners;  // kernel drivers on the same hardware (--force)
};

// Bus/device/function slots probed per event-loop turn while the profile is
// built: one PCI bus, a few hundred port accesses.
inline constexpr uint32_t kProfileSlotsPerTurn = report::PciConfigurationScan::kSlotsPerBus;

// Controls by object name: "GroupBox1", captions "Label1" ... "Label15" (odd),
// values "Label2" ... "Label16" (even), "Button1" ("Clip"), "Button2" ("Ok"),
// and "OwnersLabel" under the group box when kernel drivers own the hardware.
class TInfo : public QDialog {
  Q_OBJECT

 public:
  TInfo(QWidget* parent, InfoSources sources);

  const report::InfoSummary& summary() const { return summary_; }
  bool building() const { return scan_.has_value(); }

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Button1Click();
  void ContinueProfile();
  void EndProfile();

  InfoSources sources_;
  report::InfoSummary summary_;
  std::array<QLabel*, report::kSummaryLines> values_{};
  QPushButton* clip_;
  QPushButton* ok_;
  // The profile under construction: everything up to the PCI section is
  // built at once, the PCI scan a bus per turn so the desktop stays live.
  QTimer* slices_;
  std::optional<report::PciConfigurationScan> scan_;
  std::string text_;
};

}  // namespace kev::ui
