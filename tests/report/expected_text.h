// Expected-text helpers for the profile tests. They format with printf-style
// code of their own so that a fault in the report's formatting cannot hide.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/pci.h"

namespace kev::report::expect {

inline std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
inline std::string Format(const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

inline std::string RegLine(unsigned reg, unsigned value) {
  return Format("  REG %02Xh : %02Xh\n", reg, value);
}

// The dump of one PCI function, from the bytes the model holds.
inline std::string PciBlock(int bus, int dev, int fn, const sim::PciFunction& f) {
  std::string s = Format("  BUS      Number : %d\n  Device   Number : %d\n", bus, dev);
  s += Format("  Funciton Number : %d\n\n", fn);
  s += "  OFFSET +0 +1 +2 +3 +4 +5 +6 +7\n  -------------------------------\n";
  for (int row = 0; row < 256; row += 8) {
    s += Format("  %04X  ", row);
    for (int i = 0; i < 8; ++i) s += Format(" %02X", f.get8(static_cast<uint8_t>(row + i)));
    s += "\n";
  }
  return s + "  -------------------------------\n\n\n";
}

// The whole PCI section for every visible function of host.
inline std::string PciSection(const sim::PciHost& host) {
  std::string s = "\n--[ PCI Configuration Registers ]-----------------------------\n\n";
  for (int bus = 0; bus < 256; ++bus) {
    for (int dev = 0; dev < 32; ++dev) {
      for (int fn = 0; fn < 8; ++fn) {
        const sim::PciFunction* f = host.find(static_cast<uint8_t>(bus), static_cast<uint8_t>(dev),
                                              static_cast<uint8_t>(fn));
        if (f != nullptr && !f->hidden()) s += PciBlock(bus, dev, fn, *f);
      }
    }
  }
  return s + "--------------------------------------------------------------\n\n";
}

inline std::string ReadDataFile(const std::string& name) {
  std::ifstream in(std::string(KEV_SOURCE_DIR) + "/tests/report/data/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace kev::report::expect
