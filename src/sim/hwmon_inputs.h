// The physical inputs of a monitoring chip, as a board sets them. Each chip
// model turns them into register values with its own resolution and clock.
#pragma once

#include <array>
#include <string>

#include "sim/machine.h"
#include "sim/signal.h"

namespace kev::sim {

struct FanInput {
  Signal rpm = Signal::constant(0);
  int pulsesPerRev = 2;
  bool present = false;  // no fan connected: reads as a stalled fan
};

struct VoltInput {
  Signal value = Signal::constant(0);
  bool raw = true;  // true: value is the register value; false: volts at the pin
};

// Inputs are numbered by the chip's own pins: fans 0.., temperatures 0..,
// voltage inputs 0.. in the chip's register order.
class HwmonInputs {
 public:
  explicit HwmonInputs(const SimClock& clock) : clock_(clock) {}
  virtual ~HwmonInputs() = default;

  void setFan(int n, FanInput in) { fans_.at(static_cast<size_t>(n)) = in; }
  void setTemp(int n, Signal celsius) { temps_.at(static_cast<size_t>(n)) = celsius; }
  void setVolt(int n, VoltInput in) { volts_.at(static_cast<size_t>(n)) = in; }
  // Fault: the chip stops answering on every bus it sits on.
  void setVanished(bool v) { vanished_ = v; }
  bool vanished() const { return vanished_; }

  uint64_t nowMs() const { return clock_.nowMs(); }
  const FanInput& fan(int n) const { return fans_.at(static_cast<size_t>(n)); }
  double tempC(int n) const { return temps_.at(static_cast<size_t>(n)).at(nowMs()); }
  const VoltInput& volt(int n) const { return volts_.at(static_cast<size_t>(n)); }
  double voltValue(int n) const { return volt(n).value.at(nowMs()); }

 private:
  const SimClock& clock_;
  std::array<FanInput, 3> fans_{};
  std::array<Signal, 4> temps_{};
  std::array<VoltInput, 14> volts_{};
  bool vanished_ = false;
};

// The count a tachometer counter latches: clock ticks (clockHz / divisor)
// over two pulses of the fan. 255 (full scale) for a stalled or missing fan.
inline int TachCount(const FanInput& f, double rpm, double clockHz, int divisor) {
  if (!f.present || rpm <= 0 || f.pulsesPerRev <= 0 || divisor <= 0) return 255;
  const double twoPulsesSec = 2.0 * 60.0 / (rpm * f.pulsesPerRev);
  const double count = clockHz / divisor * twoPulsesSec;
  if (count >= 255) return 255;
  const int c = static_cast<int>(count + 0.5);
  return c < 1 ? 1 : c;
}

}  // namespace kev::sim
