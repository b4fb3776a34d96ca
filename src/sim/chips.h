// The stand-alone monitoring chips of the period and the SMBus temperature
// sensors: one model per part, reachable on the ISA index/data pair (base + 5,
// base + 6) and/or as an SMBus slave, as the real part allows.
//
// Typical use (a board loader):
//   auto chip = MakeMonitorChip(ChipModelKind::W83782D, machine.clock());
//   chip->placeOnIsa(machine, 0x290);          // only where isaCapable(kind)
//   chip->placeOnSmbus(bus, 0x2D);             // only where smbusCapable(kind)
//   chip->setTemp(0, Signal::constant(40));    // physical inputs by pin number
// The caller keeps the chip alive as long as the machine and bus use it.
//
// Input pin numbers (HwmonInputs: fans, temperatures, voltages):
//   LM78, LM78-J, LM79   fans 0-2 (28h-2Ah); temp 0 (27h); volts 0-6 = IN0-IN6
//                        (20h-26h, 16 mV per step at the pin).
//   LM80                 fans 0-1; temp 0; volts 0-6 = IN0-IN6 (10 mV per step).
//   LM81                 fans 0-1; temp 0 (27h); volts 0-5 = 20h-25h.
//   LM87                 fans 0-1; temp 0 internal (27h), temp 1 remote 1 (26h),
//                        temp 2 remote 2 (20h while register 16h bit 2 is set);
//                        volts 0-5 = 20h-25h. LM81/LM87 inputs have their own
//                        scaling: 192 steps = 2.5, 2.7, 3.3, 5, 12, 2.7 V.
//   Winbond, AS99127F    fans 0-2; temps 0 (27h), 1 (bank 1), 2 (bank 2; not on
//                        W83783S / W83697HF); volts 0-6 = IN0-IN6 (16 mV), volts
//                        7-8 = bank 5 50h/51h on W83627HF, W83782D, W83697HF.
//                        Temps 1 and 2 are also what the sub-client devices
//                        (register 4Ah) report on the SMBus.
//   GL518SM, GL520SM     fans 0-1 (register 07h high/low byte); temp 0 (04h);
//                        volts 0 VIN1 (14h), 1 VIN2 (13h), 2 VIN3 (0Dh) at 19 mV,
//                        3 VDD (15h) at 23.75 mV; GL520SM also temp 1 (0Eh) and,
//                        with register 03h bit 4 set, volt 4 VIN4 (0Eh) at 19 mV.
//                        Temperatures are whole degrees plus 119 (GL518SM) or
//                        130 (GL520SM); fans count an 8 kHz clock.
//   LM75                 temp 0.
//   MAX1617              temp 0 local (00h), temp 1 remote (01h).
// A VoltInput with raw = true gives the register value itself.
//
// Power-on state is the state the BIOS leaves: monitoring started. Register
// peeks (reg) bring measured registers up to date first, with no other side
// effect; pokes (setReg) store a byte regardless of read-only bits, but a
// measured register is recomputed from the inputs on the next access.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/hwmon_inputs.h"
#include "sim/machine.h"
#include "sim/register_image.h"
#include "sim/smbus.h"

namespace kev::sim {

enum class ChipModelKind : uint8_t {
  Lm78,
  Lm78J,
  Lm79,
  Lm80,
  Lm81,
  Lm87,
  W83781D,
  W83627HF,
  W83782D,
  W83783S,
  W83697HF,
  WinbondOther,  // a Winbond part whose chip ID (71h) no table lists
  As99127FWb,    // vendor ID reads 5CA3h
  As99127FAs,    // vendor ID reads 12C3h
  Gl518SM,
  Gl520SM,
  Lm75,     // word temperature sensor
  Max1617,  // byte temperature sensor, local and remote
};

// Names as board files spell them: "LM78", "LM78-J", "LM79", "LM80", "LM81",
// "LM87", "W83781D", "W83627HF", "W83782D", "W83783S", "W83697HF", "Winbond",
// "AS99127F-WB", "AS99127F-AS", "GL518SM", "GL520SM", "LM75", "MAX1617".
std::string_view ChipModelName(ChipModelKind kind);
std::optional<ChipModelKind> ChipModelKindFromName(std::string_view name);
std::vector<ChipModelKind> AllChipModelKinds();

bool IsIsaCapable(ChipModelKind kind);
bool IsSmbusCapable(ChipModelKind kind);

// How many inputs of each sort the part has (see the pin table above).
struct ChipPins {
  int fans = 0;
  int temps = 0;
  int volts = 0;
};
ChipPins PinsOf(ChipModelKind kind);

// A monitoring chip or sensor. One register file serves every bus the chip
// sits on; a vanished chip (setVanished) reads FFh on ISA and NACKs on SMBus.
class MonitorChip : public IoDevice, public SmbusSlave, public HwmonInputs {
 public:
  MonitorChip(ChipModelKind kind, const SimClock& clock);
  ~MonitorChip() override = default;
  MonitorChip(const MonitorChip&) = delete;
  MonitorChip& operator=(const MonitorChip&) = delete;

  ChipModelKind kind() const { return kind_; }
  HwmonInputs& inputs() { return *this; }

  // Maps base + 5 (index) and base + 6 (data). Throws std::invalid_argument
  // when the part has no ISA interface or base + 6 is beyond the port space.
  void placeOnIsa(SimMachine& machine, uint16_t base);
  // Attaches at address (7-bit) and, for the Winbond parts and AS99127F, places
  // the sub-client temperature devices register 4Ah names. Throws
  // std::invalid_argument when the part has no SMBus interface.
  void placeOnSmbus(SmbusBus& bus, uint8_t address);
  std::optional<uint16_t> isaBase() const { return isaBase_; }
  std::optional<uint8_t> smbAddress() const { return smbAddress_; }

  // Register peek/poke for tests and board set-up. bank counts only on the
  // Winbond parts (0-7); other parts ignore it.
  // A register a replayed image holds reads as held, whatever the model has.
  uint8_t reg(int bank, uint8_t index) {
    const int b = imageBank(bank, index);
    return image_.held(b, index) ? image_.read(b, index, 0) : peek(bank, index);
  }
  // The image key of a peek: the bank for banked registers, the byte of a
  // 16-bit register (0 high, 1 low), else 0.
  virtual int imageBank(int bank, uint8_t /*index*/) const { return bank; }
  virtual void setReg(int bank, uint8_t index, uint8_t value) = 0;

  // Host access as the chip's interface logic sees it (bank in force, read-only
  // bits, write side effects). Both transports end here.
  virtual uint8_t hostRead(uint8_t index) = 0;
  virtual void hostWrite(uint8_t index, uint8_t value) = 0;

  // IoDevice: the index/data pair.
  uint8_t ioRead8(uint16_t port) override;
  void ioWrite8(uint16_t port, uint8_t value) override;
  // SmbusSlave: the same register file.
  std::optional<uint8_t> smbReadByte(uint8_t command) override;
  bool smbWriteByte(uint8_t command, uint8_t value) override;
  // A word the image holds answers first; the part's own word read after.
  std::optional<uint16_t> smbReadWord(uint8_t command) override;

  // Registers replayed from a dump (see RegisterImage).
  RegisterImage& image() { return image_; }

 protected:
  // The chip moved its own serial address (register 48h of the LM78 kind).
  void moveSmbusAddress(uint8_t address);
  SmbusBus* bus() const { return bus_; }
  // Called after the chip was attached to a bus (sub-client placement).
  virtual void onSmbusPlaced() {}
  // The model's own register peek, behind any held image.
  virtual uint8_t peek(int bank, uint8_t index) = 0;
  // The bank host accesses reach now (Winbond parts).
  virtual int selectedBank() const { return 0; }
  virtual std::optional<uint16_t> readWord(uint8_t command) {
    return SmbusSlave::smbReadWord(command);
  }

 private:
  ChipModelKind kind_;
  std::optional<uint16_t> isaBase_;
  std::optional<uint8_t> smbAddress_;
  SmbusBus* bus_ = nullptr;
  uint8_t isaIndex_ = 0;
  RegisterImage image_;
};

// A new chip of the kind in its power-on state, on no bus yet.
std::unique_ptr<MonitorChip> MakeMonitorChip(ChipModelKind kind, const SimClock& clock);

// Convenience for tests and hand-built machines: a chip owned by the machine,
// on the ISA pair at isaBase (when >= 0) and on bus at smbAddress (when >= 0
// and bus is given). Throws std::invalid_argument for a placement the part
// cannot have (the message names the part and the interface).
MonitorChip& AddMonitorChip(SimMachine& machine, ChipModelKind kind, SmbusBus* bus, int isaBase,
                            int smbAddress);

}  // namespace kev::sim
