#include "sim/board_image.h"

#include <algorithm>
#include <cstdio>

#include "sim/superio.h"

namespace kev::sim {

namespace {

constexpr uint8_t kFailedLow = 0x01;
constexpr uint8_t kFailedHigh = 0x02;
constexpr uint8_t kFlipAll = 0xFF;
constexpr int kHighByte = 0;  // image key of a 16-bit register's first byte
constexpr int kLowByte = 1;
constexpr unsigned kPcConfigRegs = 0xFF;

struct KindWords {
  const char* kind;
  std::vector<uint8_t> words;
};

const std::vector<KindWords>& WordTable() {
  static const std::vector<KindWords> table{
      {"GL518SM", {0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}},
      {"GL520SM", {0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C}},
      {"LM75", {0x00, 0x02, 0x03}},
      {"W83781D", {0x4F}},
      {"W83627HF", {0x4F}},
      {"W83782D", {0x4F}},
      {"W83783S", {0x4F}},
      {"W83697HF", {0x4F}},
      {"Winbond", {0x4F}},
      {"AS99127F-WB", {0x4F}},
      {"AS99127F-AS", {0x4F}},
  };
  return table;
}

std::string RegText(unsigned index) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02Xh", index);
  return buf;
}

// True when the part stores any byte poked into the register.
bool Keeps(const ImageTarget& t, int bank, uint8_t index, uint8_t value) {
  const uint8_t before = t.peek(bank, index);
  t.poke(bank, index, value);
  const bool a = t.peek(bank, index) == value;
  t.poke(bank, index, static_cast<uint8_t>(value ^ kFlipAll));
  const bool b = t.peek(bank, index) == static_cast<uint8_t>(value ^ kFlipAll);
  t.poke(bank, index, a && b ? value : before);
  return a && b;
}

void SetByte(const ImageTarget& t, int bank, uint8_t index, uint8_t value, bool failed) {
  if (failed)
    t.image.hold(bank, index, std::nullopt);
  else if (!Keeps(t, bank, index, value))
    t.image.hold(bank, index, value);
}

void CheckWidth(const ImageValue& v, bool word, const std::string& kind) {
  const std::string reg = kind + " register " + RegText(v.index);
  if (v.digits == 4 && !word) throw BuildFailure{v.field, reg + " is a byte: give 2 hex digits"};
  if (v.digits == 2 && word)
    throw BuildFailure{v.field, reg + " is 16 bits wide: give 4 hex digits"};
  if (v.digits == 0 && !word && v.value > 0xFF)
    throw BuildFailure{v.field, "value " + std::to_string(v.value) + " does not fit a byte"};
}

}  // namespace

std::vector<uint8_t> WordRegisters(std::string_view kind) {
  for (const KindWords& k : WordTable())
    if (kind == k.kind) return k.words;
  return {};
}

void ApplyImage(const ChipSpec& c, const ImageTarget& t) {
  for (const ImageValue& v : c.image) {
    if (v.bank != 0 && !t.banked)
      throw BuildFailure{v.field, c.kind + " has no register banks (only the Winbond parts do)"};
    if (v.index > t.lastReg)
      throw BuildFailure{v.field, c.kind + " has no register " + RegText(v.index) +
                                      " (its registers end at " + RegText(t.lastReg) + ")"};
    for (const RegSetting& r : c.registers)
      if (r.index == v.index && v.bank == 0)
        throw BuildFailure{v.field, "names the same register as " + r.field};
    const bool word =
        v.bank == 0 && std::find(t.words.begin(), t.words.end(), v.index) != t.words.end();
    CheckWidth(v, word, c.kind);
    if (word) {
      SetByte(t, kHighByte, v.index, static_cast<uint8_t>(v.value >> 8),
              (v.failed & kFailedHigh) != 0);
      SetByte(t, kLowByte, v.index, static_cast<uint8_t>(v.value), (v.failed & kFailedLow) != 0);
    } else {
      SetByte(t, v.bank, v.index, static_cast<uint8_t>(v.value), (v.failed & kFailedLow) != 0);
    }
  }
  for (const ImageValue& v : c.smbusWords) {
    if (v.digits == 2) throw BuildFailure{v.field, "a word read gives 4 hex digits"};
    t.image.holdWord(v.index, v.failed ? std::nullopt : std::optional<uint16_t>(v.value));
  }
}

void ApplyPc87366Image(const ChipSpec& c, Pc87366& chip) {
  const Pc87366Image& img = c.pcImage;
  auto byte = [](const ImageValue& v) -> std::optional<uint8_t> {
    if (v.digits == 4 || v.value > 0xFF) throw BuildFailure{v.field, "expected a byte"};
    if (v.failed) return std::nullopt;
    return static_cast<uint8_t>(v.value);
  };
  // A failed configuration read showed an undriven bus.
  for (const ImageValue& v : c.image) chip.setGlobal(v.index, byte(v).value_or(kPcConfigRegs));
  for (const auto& [ldn, regs] : img.ldn) {
    for (const ImageValue& v : regs) chip.setLdnReg(ldn, v.index, byte(v).value_or(kPcConfigRegs));
    chip.setLdnResources(ldn, chip.ldnBase(ldn), chip.ldnActive(ldn));
  }
  for (const ImageValue& v : img.fsm) chip.setImageReg(Pc87366::Block::Fsm, 0, v.index, byte(v));
  for (const ImageValue& v : img.vlm)
    chip.setImageReg(Pc87366::Block::Vlm, v.bank, v.index, byte(v));
  for (const ImageValue& v : img.tms)
    chip.setImageReg(Pc87366::Block::Tms, v.bank, v.index, byte(v));
}

void ApplyPciImages(const BoardSpec& spec, SimBoard& board) {
  for (const PciImage& f : spec.pci) {
    PciFunction* fn = board.pci().find(f.bus, f.device, f.function);
    if (!fn) {
      fn = &board.make<PciFunction>(0, 0, 0);
      board.pci().attach(f.bus, f.device, f.function, fn);
    }
    for (size_t i = 0; i < f.bytes.size(); ++i) fn->set8(static_cast<uint8_t>(i), f.bytes[i]);
  }
  if (!spec.pciComplete) return;
  for (const auto& entry : board.pci().functions()) {
    const uint32_t location = entry.first;
    const bool listed =
        std::any_of(spec.pci.begin(), spec.pci.end(), [location](const PciImage& f) {
          return location == (static_cast<uint32_t>(f.bus) << 8 | f.device << 3 | f.function);
        });
    if (!listed) entry.second->setHidden(true);
  }
}

}  // namespace kev::sim
