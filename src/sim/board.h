// A simulated mainboard: the machine, its PCI functions, its SMBus and every
// chip model on it, built from a board description (JSON, see docs/boards.md).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/hwmon_inputs.h"
#include "sim/machine.h"
#include "sim/pci.h"
#include "sim/smbus.h"
#include "sim/smbus_host.h"

namespace kev::sim {

// What is wrong with a board description: the file (or board name), the
// field as a path ("chips[1].fans[0].rpm"; empty for the whole file) and why.
struct BoardError {
  std::string file;
  std::string field;
  std::string message;
  // One line for the user: "file: field: message".
  std::string text() const;
};

class SimBoard {
 public:
  explicit SimBoard(std::string name, std::string description = {});
  ~SimBoard();
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  const std::string& name() const { return name_; }
  const std::string& description() const { return description_; }

  SimMachine& machine() { return machine_; }
  PciHost& pci() { return pci_; }
  SmbusBus& smbus() { return bus_; }
  // The south bridge's SMBus host controller, or null when the board has none.
  SmbusHost* smbusHost() { return smbusHost_; }
  void advanceMs(uint64_t ms) { machine_.clock().advanceMs(ms); }

  // Physical inputs of the monitoring chip with this id (the board file's
  // "id", or the chip kind when the file gives none); null when absent.
  HwmonInputs* chipInputs(const std::string& id);
  std::vector<std::string> chipIds() const;
  // The chip kind ("W83782D", "VT82C686A", ...) of a chip id, or empty.
  std::string chipKind(const std::string& id) const;

  // Faults.
  void setSmbusStuckBusy(bool stuck, bool survivesReset = false);
  void injectSmbusCollisions(int n) { bus_.injectCollisions(n); }
  void setSmbusSilent(uint8_t address, bool silent) { bus_.setSilent(address, silent); }
  // Nothing decodes the SMBus host's ports any more (a dead host): they read
  // FFh while the PM function still names the base.
  void removeSmbusHost();
  // The chip stops answering on every bus it sits on; false when no such id.
  bool setChipVanished(const std::string& id, bool vanished);

  // Assembly, used by the loader and by tests that build a board by hand.
  template <class T, class... Args>
  T& make(Args&&... args) {
    auto p = std::make_shared<T>(std::forward<Args>(args)...);
    parts_.push_back(p);
    return *p;
  }
  template <class T>
  T& adopt(std::unique_ptr<T> p) {
    std::shared_ptr<T> s(std::move(p));
    parts_.push_back(s);
    return *s;
  }
  void attachPci(uint8_t device, uint8_t function, PciFunction& fn) {
    pci_.attach(0, device, function, &fn);
  }
  void setSmbusHost(SmbusHost* host) { smbusHost_ = host; }
  void addChip(const std::string& id, const std::string& kind, HwmonInputs& inputs);

 private:
  struct ChipEntry {
    std::string kind;
    HwmonInputs* inputs;
  };
  std::string name_;
  std::string description_;
  SimMachine machine_;
  PciHost pci_;
  SmbusBus bus_;
  SmbusHost* smbusHost_ = nullptr;
  std::map<std::string, ChipEntry> chips_;
  std::vector<std::shared_ptr<void>> parts_;  // every model, destroyed before the machine
};

// A loaded board or the error that stopped it.
class BoardResult {
 public:
  BoardResult(std::unique_ptr<SimBoard> board) : board_(std::move(board)) {}
  BoardResult(BoardError error) : error_(std::move(error)) {}

  bool ok() const { return board_ != nullptr; }
  explicit operator bool() const { return ok(); }
  SimBoard& board() { return *board_; }
  SimBoard* operator->() { return board_.get(); }
  std::unique_ptr<SimBoard> take() { return std::move(board_); }
  // Meaningful only when !ok().
  const BoardError& error() const { return error_; }

 private:
  std::unique_ptr<SimBoard> board_;
  BoardError error_;
};

// Never throws; every problem with the text is a BoardError. name labels
// errors (the file name or the catalogue name). Files are read by the
// programs' board opener (session/board_opener.h).
BoardResult LoadBoardJson(std::string_view text, const std::string& name);
// Boards embedded in the library (built from boards/*.json).
BoardResult LoadCatalogueBoard(const std::string& name);
std::vector<std::string> CatalogueBoardNames();
std::optional<std::string_view> CatalogueBoardJson(const std::string& name);

}  // namespace kev::sim
