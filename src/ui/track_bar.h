// A horizontal slider that can mark a range of values with a highlighted
// band, and can run inverted (position = max + min - value).
#pragma once

#include <QSlider>

namespace kev::ui {

class TTrackBar : public QSlider {
  Q_OBJECT
 public:
  TTrackBar(int minimum, int maximum, QWidget* parent);

  // The marked range; start > end hides the band.
  void SetBand(int start, int end);
  int bandStart() const { return bandStart_; }
  int bandEnd() const { return bandEnd_; }

  // The value a position stands for and back; the slider clamps positions.
  void SetInverted(bool inverted) { inverted_ = inverted; }
  bool inverted() const { return inverted_; }
  void SetMapped(int value);
  int Mapped() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int bandStart_ = 1;
  int bandEnd_ = 0;
  bool inverted_ = false;
};

}  // namespace kev::ui
