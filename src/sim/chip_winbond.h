// The Winbond hardware monitors (W83781D, W83627HF, W83782D, W83783S,
// W83697HF, and a part with an unlisted chip ID) and the Asus AS99127F in both
// vendor forms: the LM78 register set plus the bank register 4Eh, the 16-bit
// vendor ID in 4Fh, and the sub-client temperature devices named by 4Ah.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "sim/chip_lm78.h"

namespace kev::sim {

struct WinbondPart;
class WinbondSubclient;

class WinbondModel : public LmStyleChip {
 public:
  WinbondModel(ChipModelKind kind, const SimClock& clock);
  ~WinbondModel() override;

  uint8_t peek(int bank, uint8_t index) override;
  // The SMBus address a sub-client (0: temperature 2, 1: temperature 3)
  // answers at, or none while it is disabled or the chip is not on a bus.
  std::optional<uint8_t> subclientAddress(int n) const;

 protected:
  RegFile& file(int bank, uint8_t index) override;
  int selectedBank() const override;
  int imageBank(int bank, uint8_t index) const override;
  void measure() override;
  void afterWrite(uint8_t index) override;
  void onSmbusPlaced() override { placeSubclients(); }

 private:
  friend class WinbondSubclient;
  static constexpr int kBanks = 8;

  void defineCommon();
  void defineBanks();
  int fanDivisor3(int fan) const;
  uint8_t fanCount(int fan) const;
  void measureBankTemp(int bank, int sensor);
  void placeSubclients();

  const WinbondPart& part_;
  std::array<RegFile, kBanks> banks_;
  std::array<std::unique_ptr<WinbondSubclient>, 2> subs_;
  std::array<std::optional<uint8_t>, 2> subAddr_;
};

}  // namespace kev::sim
