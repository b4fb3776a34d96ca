#include "replay/board_check.h"

#include <algorithm>
#include <array>

#include "detect/detect.h"
#include "replay/board_fields.h"
#include "replay/profile_text.h"
#include "replay/winbond_image.h"
#include "report/dump_layout.h"
#include "report/summary.h"
#include "sim/board.h"

namespace kev::replay {
namespace {

using nlohmann::json;

// The banks whose 50h/51h a Winbond part measures into (temperatures 2 and
// 3, IN7 and IN8), by kind.
struct BankReadings {
  std::string_view kind;
  std::array<int, 3> banks;  // 0: unused
};
constexpr std::array<BankReadings, 8> kBankReadings{{
    {"W83781D", {1, 2, 0}},
    {"W83627HF", {1, 2, 5}},
    {"W83782D", {1, 2, 5}},
    {"W83783S", {1, 0, 0}},
    {"W83697HF", {1, 5, 0}},
    {"Winbond", {1, 2, 0}},
    {"AS99127F-WB", {1, 2, 0}},
    {"AS99127F-AS", {1, 2, 0}},
}};
constexpr std::array<uint8_t, 2> kBankReadingRegs{0x50, 0x51};

std::string RegText(unsigned r) { return HexText(r, 2).substr(2) + "h"; }

// Registers first..last the object leaves out, as "20h-2Fh, 31h".
void AddMissing(const json& held, unsigned first, unsigned last, std::vector<std::string>& out,
                const std::string& prefix) {
  for (unsigned r = first; r <= last; ++r) {
    if (held.contains(HexText(r, 2))) continue;
    unsigned end = r;
    while (end < last && !held.contains(HexText(end + 1, 2))) ++end;
    out.push_back(prefix + RegText(r) + (end > r ? "-" + RegText(end) : ""));
    r = end;
  }
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

}  // namespace

Identified IdentifyBoard(const json& board) {
  Identified id;
  sim::BoardResult loaded = sim::LoadBoardJson(board.dump(), "the board made");
  if (!loaded) {
    id.loadError = loaded.error().text();
    return id;
  }
  const report::InfoSummary s = report::GatherSummary(loaded.board().machine());
  id.name = std::string(ChipName(s.ChipKind));
  id.kind = profile::ChipKindOfName(id.name);
  for (int32_t a : {s.MainSmbAddress, s.SecondSmbAddress, s.ThirdSmbAddress}) {
    if (a >= 0) id.smbus.push_back(static_cast<uint8_t>(a));
  }
  return id;
}

std::vector<int> FailUndumpedBankReadings(json& chip) {
  std::vector<int> failed;
  const std::string kind = chip.value("kind", "");
  for (const BankReadings& r : kBankReadings) {
    if (r.kind != kind) continue;
    for (int bank : r.banks) {
      if (bank == 0 || (chip.contains("banks") && chip["banks"].contains(std::to_string(bank))))
        continue;
      for (uint8_t reg : kBankReadingRegs) PutBankRegister(chip, bank, reg, "XX");
      failed.push_back(bank);
    }
  }
  return failed;
}

std::string DumpCoverageNote(const json& chip, const std::vector<int>& failedBanks) {
  const std::string kind = chip.value("kind", "");
  const json& image = chip.contains("image") ? chip["image"] : json::object();
  size_t dumped = image.size();
  if (chip.contains("banks")) {
    for (const auto& bank : chip["banks"].items()) dumped += bank.value().size();
  }
  dumped -= failedBanks.size() * kBankReadingRegs.size();
  std::vector<std::string> missing;
  const int32_t detected = profile::ChipKindOfBoardKind(kind);
  const report::DumpLayout* layout =
      detected == kind::Unknown ? nullptr : report::DumpLayoutOf(detected);
  if (layout != nullptr && layout->style == report::DumpStyle::Ranges) {
    for (const report::RegRange& r : layout->ranges) {
      if (r.digits != 0) AddMissing(image, r.first, r.last, missing, "");
    }
  } else if (layout != nullptr && layout->style == report::DumpStyle::Winbond) {
    AddMissing(image, report::kWbDumpCommonFirst, kWbVendorId, missing, "");
    AddMissing(image, report::kWbDumpBankedFirst, report::kWbDumpBankedLast, missing, "bank 0 ");
    for (int bank = 1; bank < report::kWbDumpBanks; ++bank) {
      const std::string b = std::to_string(bank);
      const json& held = chip.contains("banks") && chip["banks"].contains(b) &&
                                 !std::count(failedBanks.begin(), failedBanks.end(), bank)
                             ? chip["banks"][b]
                             : json::object();
      AddMissing(held, report::kWbDumpBankedFirst, report::kWbDumpBankedLast, missing,
                 "bank " + b + " ");
    }
  }
  std::string note =
      std::to_string(dumped) + (dumped == 1 ? " register" : " registers") + " from the dump";
  if (!missing.empty()) note += "; power-on values: " + Joined(missing);
  if (!failedBanks.empty()) {
    std::vector<std::string> banks;
    for (int b : failedBanks) banks.push_back(std::to_string(b));
    note += "; the readings of bank " + Joined(banks) + " fail (dump those banks for them)";
  }
  return note;
}

}  // namespace kev::replay
