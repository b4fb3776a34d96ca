// The two controls of a monitor row: a check box and a value panel that hand
// every mouse press, with its buttons and modifiers, to the window.
#pragma once

#include <QCheckBox>
#include <QLabel>

#include "monitor/row_model.h"

namespace kev::ui {

// Button and modifier state of a press, as the row model reads gestures.
RowPress PressOf(const QMouseEvent& event, bool doubleClick);

class RowCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  RowCheckBox(int channel, QWidget* parent);
  int channel() const { return channel_; }

 signals:
  void pressed(int channel, kev::RowPress press);

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  int channel_;
};

class ValuePanel : public QLabel {
  Q_OBJECT
 public:
  ValuePanel(int channel, QWidget* parent);
  int channel() const { return channel_; }

 signals:
  void pressed(int channel, kev::RowPress press);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int channel_;
};

}  // namespace kev::ui
