// The count-down before a shutdown or suspend: a small always-on-top dialog
// whose bar fills in 100 ms steps and which the user can cancel.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kev::ui {

inline constexpr int kCountDownStepMs = 100;
inline constexpr int kCountDownStepsPerSecond = 1000 / kCountDownStepMs;

// Controls by object name: "Bevel1" (the frame), "Label1" (the message),
// "ProgressBar1", "Cancel" (the button), "Timer1".
class TCount : public QDialog {
  Q_OBJECT

 public:
  explicit TCount(QWidget* parent = nullptr);

  void setMessage(const QString& message);
  void setLength(int seconds) { length_ = seconds; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1Timer();
  void CentreOnScreen();

  int length_ = 10;
  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QTimer* timer_;
};

// Runs the count-down modally for `seconds` with the message and returns
// true exactly when the user cancelled it. Other timers keep firing meanwhile.
bool ShowCountDown(QWidget* parent, const QString& message, int seconds = 10);

}  // namespace kev::ui
