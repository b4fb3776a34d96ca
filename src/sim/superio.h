// Super-I/O chips: the configuration space behind an index/data port pair
// (global registers below 30h, per-logical-device registers from 30h up,
// device select in 07h) and the monitoring blocks some of them carry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "sim/hwmon_inputs.h"
#include "sim/machine.h"
#include "sim/register_image.h"
#include "sim/smbus.h"

namespace kev::sim {

namespace sio {
inline constexpr uint8_t kRegLdn = 0x07;
inline constexpr uint8_t kRegChipId = 0x20;
inline constexpr uint8_t kRegChipId2 = 0x21;
inline constexpr uint8_t kRegActivate = 0x30;
inline constexpr uint8_t kRegBaseHigh = 0x60;
inline constexpr uint8_t kRegBaseLow = 0x61;
}  // namespace sio

class SuperIo : public IoDevice {
 public:
  // Maps port (index) and port + 1 (data). key: the byte sequence written to
  // the index port that opens the configuration space; empty = always open.
  SuperIo(SimMachine& m, uint16_t port, std::vector<uint8_t> key);
  ~SuperIo() override;

  uint16_t port() const { return port_; }
  bool configOpen() const { return open_; }
  uint8_t global(uint8_t reg) const { return globals_[reg]; }
  void setGlobal(uint8_t reg, uint8_t v) { globals_[reg] = v; }
  uint8_t ldnReg(uint8_t ldn, uint8_t reg) const;
  void setLdnReg(uint8_t ldn, uint8_t reg, uint8_t v);
  // Logical device resources: base (60h/61h) and the active bit (30h bit 0).
  uint16_t ldnBase(uint8_t ldn) const;
  bool ldnActive(uint8_t ldn) const;
  void setLdnResources(uint8_t ldn, uint16_t base, bool active);

  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;

 protected:
  SimMachine& machine() { return machine_; }
  void closeConfig() { open_ = false; }
  // The index port saw value while the space was open: true when it ended
  // configuration mode (Winbond exit key).
  virtual bool exitKey(uint8_t) { return false; }
  // A data-port write reached a register (after the store).
  virtual void onWrite(uint8_t ldn, uint8_t reg, uint8_t value);
  // Read-only registers keep their value against data-port writes.
  virtual bool readOnly(uint8_t reg) const { return reg >= sio::kRegChipId && reg < 0x30; }
  // A logical device's base or active bit changed.
  virtual void onResources(uint8_t) {}

 private:
  SimMachine& machine_;
  uint16_t port_;
  std::vector<uint8_t> key_;
  size_t keyPos_ = 0;
  bool open_;
  uint8_t index_ = 0;
  std::array<uint8_t, 0x30> globals_{};
  std::map<uint8_t, std::array<uint8_t, 256>> ldns_;
};

// Winbond W83627HF-class Super-I/O: entry 87h, 87h; exit AAh. Only the
// configuration space is modelled (logical device 8 register F1h drives
// board switches); its monitor is a separate chip model.
class WinbondSuperIo : public SuperIo {
 public:
  WinbondSuperIo(SimMachine& m, uint16_t port, uint8_t chipId);

 protected:
  bool exitKey(uint8_t v) override;
};

// A block of I/O ports that one logical device decodes while it is active.
class LdnWindow : public IoDevice {
 public:
  using Reader = std::function<uint8_t(uint16_t offset)>;
  using Writer = std::function<void(uint16_t offset, uint8_t value)>;
  LdnWindow(SimMachine& m, uint16_t size, Reader r, Writer w);
  ~LdnWindow() override;
  // Decodes [base & ~(size-1), + size) when on; nothing otherwise.
  void place(uint16_t base, bool on);
  uint8_t ioRead8(uint16_t port) override { return read_(static_cast<uint16_t>(port - first_)); }
  void ioWrite8(uint16_t port, uint8_t v) override {
    write_(static_cast<uint16_t>(port - first_), v);
  }

 private:
  SimMachine& machine_;
  uint16_t size_;
  uint16_t first_ = 0;
  Reader read_;
  Writer write_;
};

// National PC87366: configuration always open at 2Eh or 4Eh; logical devices
// 09h fan speed monitor, 0Dh voltage level monitor (14 channels), 0Eh
// temperature sensor (3 channels), the latter two with a channel-select
// register 09h in front of the channel registers 0Ah-0Fh.
// Inputs: fans 0-2, temps 0-2, volts 0-13 (one per VLM channel; volts at the
// pin convert at 3 V full scale).
class Pc87366 : public SuperIo, public HwmonInputs {
 public:
  static constexpr uint8_t kLdnFsm = 0x09;
  static constexpr uint8_t kLdnVlm = 0x0D;
  static constexpr uint8_t kLdnTms = 0x0E;
  struct Bases {
    uint16_t fsm = 0x0E00;
    uint16_t vlm = 0x0E10;
    uint16_t tms = 0x0E20;
  };
  Pc87366(SimMachine& m, uint16_t port, Bases bases);
  ~Pc87366() override;

  // Register peeks for tests: module registers (reg < 0Ah) and channel registers.
  uint8_t fsmReg(uint8_t reg) const { return fsm_[reg & 0x0F]; }
  uint8_t vlmChannelReg(int channel, uint8_t reg) const;
  uint8_t tmsChannelReg(int channel, uint8_t reg) const;

  // A register of a replayed dump: module registers (offset below 0Ah) take
  // bank 0, channel registers the channel bank. A measured one (fan count,
  // channel value) or a failed read (nullopt) is held; the rest are stored.
  enum class Block { Fsm, Vlm, Tms };
  void setImageReg(Block block, int bank, uint8_t offset, std::optional<uint8_t> value);

 protected:
  void onResources(uint8_t ldn) override;

 private:
  struct Module;
  uint8_t fsmRead(uint16_t off);
  void fsmWrite(uint16_t off, uint8_t v);
  uint8_t moduleRead(Module& mod, uint16_t off);
  void moduleWrite(Module& mod, uint16_t off, uint8_t v);
  uint8_t measure(const Module& mod, int channel) const;

  std::array<uint8_t, 16> fsm_{};
  std::unique_ptr<Module> vlm_;
  std::unique_ptr<Module> tms_;
  std::unique_ptr<LdnWindow> fsmWin_, vlmWin_, tmsWin_;
  RegisterImage fsmImage_, vlmImage_, tmsImage_;
};

// ITE IT8705F / IT8712F environment controller: LM78-style registers behind
// base + 5 / base + 6, and on the SMBus where the board wires it there.
// Inputs: fans 0-2 (0Dh-0Fh), temps 0-2 (29h-2Bh), volts 0-8 (20h-28h, 16 mV).
class IteEc : public IoDevice, public SmbusSlave, public HwmonInputs {
 public:
  explicit IteEc(const SimClock& clock);
  uint8_t reg(uint8_t index);
  void setReg(uint8_t index, uint8_t v) { regs_[index & 0x7F] = v; }
  RegisterImage& image() { return image_; }

  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;
  std::optional<uint8_t> smbReadByte(uint8_t command) override;
  bool smbWriteByte(uint8_t command, uint8_t value) override;

 private:
  int divisor(int fan) const;
  void refresh();
  std::array<uint8_t, 0x80> regs_{};
  uint8_t index_ = 0;
  RegisterImage image_;
};

// ITE IT8705F / IT8712F Super-I/O: configuration at 2Eh/2Fh, opened with
// 87h, 01h, 55h, 55h and closed by writing bit 1 of register 02h; logical
// device 4 is the environment controller, decoded at its base while active.
class IteSuperIo : public SuperIo {
 public:
  static constexpr uint8_t kLdnEc = 0x04;
  // chipId2: 05h (IT8705F) or 12h (IT8712F).
  IteSuperIo(SimMachine& m, uint8_t chipId2, IteEc& ec, uint16_t ecBase);
  ~IteSuperIo() override;

 protected:
  void onWrite(uint8_t ldn, uint8_t reg, uint8_t value) override;
  void onResources(uint8_t ldn) override;

 private:
  IteEc& ec_;
};

}  // namespace kev::sim
