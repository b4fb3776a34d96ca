// A physical quantity over simulated time: constant, a ramp, a step, or a
// repeating square wave (a fan that stalls now and then).
#pragma once

#include <cstdint>

namespace kev::sim {

struct Signal {
  enum class Shape : uint8_t { Constant, Ramp, Step, Square };
  Shape shape = Shape::Constant;
  double from = 0;      // value at and before startMs
  double to = 0;        // value reached at endMs (ramp), after startMs (step), "low" phase (square)
  uint64_t startMs = 0;
  uint64_t endMs = 0;   // ramp end; square: period
  uint64_t lowMs = 0;   // square: length of the "to" phase in each period

  static Signal constant(double v) { return {Shape::Constant, v, v, 0, 0, 0}; }
  static Signal ramp(double a, double b, uint64_t t0, uint64_t t1) {
    return {Shape::Ramp, a, b, t0, t1, 0};
  }
  static Signal step(double a, double b, uint64_t t) { return {Shape::Step, a, b, t, 0, 0}; }
  static Signal square(double high, double low, uint64_t periodMs, uint64_t lowMs) {
    return {Shape::Square, high, low, 0, periodMs, lowMs};
  }

  double at(uint64_t ms) const {
    switch (shape) {
      case Shape::Constant:
        return from;
      case Shape::Ramp:
        if (ms <= startMs) return from;
        if (ms >= endMs || endMs <= startMs) return to;
        return from + (to - from) * static_cast<double>(ms - startMs) /
                          static_cast<double>(endMs - startMs);
      case Shape::Step:
        return ms < startMs ? from : to;
      case Shape::Square:
        if (endMs == 0) return from;
        return (ms % endMs) >= endMs - lowMs ? to : from;
    }
    return from;
  }
};

}  // namespace kev::sim
