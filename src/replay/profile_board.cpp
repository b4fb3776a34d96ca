#include "replay/profile_board.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <sstream>

#include "replay/board_fields.h"
#include "replay/profile_text.h"
#include "replay/winbond_image.h"
#include "sim/bridge.h"
#include "sim/chips.h"

namespace kev::replay {

namespace {

using nlohmann::json;
using profile::Dump;
using profile::RegLine;

constexpr uint8_t kSis630PmDevice = 1;
constexpr uint8_t kSis630PmEnableReg = 0x40;
constexpr uint8_t kSis630PmEnableBit = 0x80;

// Winbond sub-client addresses: 48h plus the fields of register 4Ah.
constexpr uint8_t kWbRegSubAddr = 0x4A;
constexpr uint8_t kWbSubBase = 0x48;
constexpr uint8_t kWbSubDisable = 0x08;  // of each 4-bit half
constexpr uint8_t kWbSubField = 0x07;
constexpr int kWbSubShift = 4;

// Temperature sensor addresses: below 48h only byte sensors, 4Ch-4Eh either.
constexpr uint8_t kFirstWordSensor = 0x48;
constexpr uint8_t kSharedFirst = 0x4C;
constexpr uint8_t kSharedLast = 0x4E;

constexpr uint8_t kPcLdnFsm = 0x09;
constexpr uint8_t kPcLdnVlm = 0x0D;

json Value(const std::optional<uint16_t>& v, int digits) {
  if (!v) return digits == 4 ? "XXXX" : "XX";
  return HexText(*v, digits);
}

const PciFunctionDump* FindPci(const Dump& d, uint8_t device, uint8_t function) {
  for (const auto& f : d.pci)
    if (f.bus == 0 && f.device == device && f.function == function) return &f;
  return nullptr;
}

std::optional<json> SouthBridge(const Dump& d) {
  if (!d.pmFound) return std::nullopt;
  const auto idAt = [&d](uint8_t device, uint8_t function) {
    const PciFunctionDump* f = FindPci(d, device, function);
    return f ? f->dword(0) : 0;
  };
  const std::optional<std::string> kind = sim::SouthBridgeKindOf(d.pmId, d.pmRevision, idAt);
  if (!kind) return std::nullopt;
  json s{{"kind", *kind}, {"revision", HexText(d.pmRevision, 2)}};
  if (d.smbusBase) s["smbus_base"] = HexText(*d.smbusBase, 4);
  if (*kind == "SiS630") {
    const auto* pm = FindPci(d, kSis630PmDevice, 0);
    if (pm) s["pm_enabled"] = (pm->bytes[kSis630PmEnableReg] & kSis630PmEnableBit) != 0;
  }
  return s;
}

json PciList(const Dump& d) {
  json list = json::array();
  for (const auto& f : d.pci) list.push_back(PciEntry(f));
  return list;
}

std::optional<uint8_t> Byte(const std::optional<uint16_t>& v) {
  return v ? std::optional<uint8_t>(static_cast<uint8_t>(*v)) : std::nullopt;
}

// The register lines as the chip entry's image fields.
void AddImage(json& chip, const Dump& d) {
  std::array<std::optional<uint8_t>, 2> vendor;  // high, low
  for (const RegLine& r : d.regs) {
    const std::string key = HexText(r.reg, 2);
    const json v = Value(r.value, r.digits);
    if (r.hbacs >= 0) {
      vendor[r.hbacs == 1 ? 0 : 1] = Byte(r.value);
    } else if (r.what == RegLine::What::Ofs) {
      const char* block = r.ldn == kPcLdnFsm ? "fsm" : r.ldn == kPcLdnVlm ? "vlm" : "tms";
      if (r.bank < 0)
        chip[block][key] = v;
      else
        chip[block][std::to_string(r.bank)][key] = v;
    } else if (r.ldn != 0) {
      chip["ldn"][HexText(r.ldn, 2)][key] = v;
    } else {
      PutBankRegister(chip, r.bank, r.reg, v);
    }
  }
  if (IsWinbondKind(d.chipKind) && !d.regs.empty()) PutVendorId(chip, vendor[0], vendor[1]);
}

std::optional<uint8_t> ImageByte(const Dump& d, uint8_t reg) {
  for (const RegLine& r : d.regs)
    if (r.what == RegLine::What::Reg && r.ldn == 0 && r.bank <= 0 && r.reg == reg && r.value)
      return static_cast<uint8_t>(*r.value);
  return std::nullopt;
}

// The SiS 5595 reads its temperature unconverted (00h) right after monitoring
// restarts, as the program's fresh probe before the dump does; the reading
// the window showed becomes the temperature input instead.
constexpr uint8_t kSisRegTemp = 0x24;
constexpr size_t kTemp1Row = 3;

void SettleSisTemperature(json& chip, const Dump& d) {
  const auto code = ImageByte(d, kSisRegTemp);
  if (d.chipKind != "SiS5595" || !chip.contains("image") || !code || *code != 0) return;
  // "39.0C / 102.0F" or "102.0F / 39.0C"
  std::istringstream words(d.rows[kTemp1Row]);
  std::string w;
  while (words >> w) {
    if (w.size() < 2 || w.back() != 'C') continue;
    w.pop_back();
    char* end = nullptr;
    const double celsius = std::strtod(w.c_str(), &end);
    if (*end != '\0') return;
    chip["image"].erase(HexText(kSisRegTemp, 2));
    chip["temps"] = json::array({celsius});
    return;
  }
}

std::optional<json> MainChip(const Dump& d) {
  const std::string& kind = d.chipKind;
  if (kind.empty()) return std::nullopt;
  json chip{{"id", "main"}, {"kind", kind}};
  // The parts built into a bridge or a Super-I/O sit on ISA; the ITE ones
  // may be wired to the SMBus as well.
  const auto model = sim::ChipModelKindFromName(kind);
  const bool isa = model ? sim::IsIsaCapable(*model) : true;
  const bool serial = model ? sim::IsSmbusCapable(*model) : kind.rfind("IT87", 0) == 0;
  const std::optional<uint8_t> smbus =
      d.onSmbus ? std::optional<uint8_t>(d.smbusAddress) : d.mainAddress;
  if (kind == "PC87366") {
    chip["config_port"] = HexText(d.port, 2);
  } else {
    if (d.onPort && isa) chip["isa"] = HexText(d.port, 3);
    if (smbus && serial) chip["smbus"] = HexText(*smbus, 2);
  }
  if (!chip.contains("isa") && !chip.contains("smbus") && !chip.contains("config_port"))
    return std::nullopt;
  AddImage(chip, d);
  SettleSisTemperature(chip, d);
  return chip;
}

// Addresses the main chip answers itself (Winbond sub-clients on the SMBus).
std::vector<uint8_t> OwnAddresses(const Dump& d, const json& main) {
  std::vector<uint8_t> out;
  if (!main.contains("smbus") || !IsWinbondKind(d.chipKind)) return out;
  const auto sub = ImageByte(d, kWbRegSubAddr);
  if (!sub) return out;
  for (int i = 0; i < 2; ++i) {
    const int field = *sub >> (kWbSubShift * i);
    if ((field & kWbSubDisable) == 0)
      out.push_back(static_cast<uint8_t>(kWbSubBase + (field & kWbSubField)));
  }
  return out;
}

bool ByteLike(const std::optional<uint16_t>& w) { return !w || (*w >> 8) == (*w & 0xFF); }

// A further SMBus device: a byte sensor where only one fits or its words
// repeat one byte, else a word sensor.
json Sensor(const profile::Device& dev, const std::string& id) {
  const bool bytes = dev.address < kFirstWordSensor ||
                     (dev.address >= kSharedFirst && dev.address <= kSharedLast &&
                      ByteLike(dev.words[0]) && ByteLike(dev.words[1]));
  json chip{{"id", id}, {"kind", bytes ? "MAX1617" : "LM75"}, {"smbus", HexText(dev.address, 2)}};
  auto high = [](const std::optional<uint16_t>& w) {
    return w ? std::optional<uint16_t>(*w >> 8) : std::nullopt;
  };
  if (bytes) {
    chip["image"] = {{"0x00", Value(high(dev.words[0]), 2)},
                     {"0x01", Value(high(dev.words[1]), 2)}};
  } else {
    chip["image"] = {{"0x00", Value(dev.words[0], 4)}};
    chip["smbus_words"] = {{"0x01", Value(dev.words[1], 4)}};
  }
  return chip;
}

}  // namespace

bool LooksLikeProfile(std::string_view text) {
  return profile::FindProfileStart(text) != std::string_view::npos;
}

namespace {

json Board(const Dump& d) {
  // Only texts of the program's own tables go into the document, so that it
  // is valid UTF-8 whatever the paste holds.
  json board{{"description", "Replayed from a hardware monitoring profile" +
                                 (d.chipKind.empty() ? "" : " (" + d.chipKind + ")") + "."}};
  if (auto s = SouthBridge(d)) board["south_bridge"] = *s;
  json chips = json::array();
  std::vector<uint8_t> taken;
  if (auto main = MainChip(d)) {
    taken = OwnAddresses(d, *main);
    if (main->contains("smbus"))
      taken.push_back(
          static_cast<uint8_t>(std::stoul(main->at("smbus").get<std::string>(), nullptr, 16)));
    chips.push_back(*main);
  }
  for (size_t i = 0; i < d.devices.size(); ++i) {
    const profile::Device& dev = d.devices[i];
    const bool answered = dev.words[0] || dev.words[1];
    if (!answered || std::find(taken.begin(), taken.end(), dev.address) != taken.end()) continue;
    taken.push_back(dev.address);
    chips.push_back(Sensor(dev, i == 0 ? "sensor2" : "sensor3"));
  }
  board["chips"] = chips;
  board["pci"] = PciList(d);
  board["pci_complete"] = true;
  return board;
}

}  // namespace

std::optional<json> BoardFromProfile(std::string_view text, std::string& error) {
  try {
    const auto dump = profile::ReadProfile(text, error);
    if (dump) return Board(*dump);
  } catch (const std::exception& e) {
    error = e.what();
  }
  return std::nullopt;
}

}  // namespace kev::replay
