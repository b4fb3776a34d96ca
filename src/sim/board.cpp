#include "sim/board.h"

#include "sim/board_spec.h"

namespace kev::sim {

std::string BoardError::text() const {
  std::string out = file;
  if (!field.empty()) out += (out.empty() ? "" : ": ") + field;
  return out + (out.empty() ? "" : ": ") + message;
}

SimBoard::SimBoard(std::string name, std::string description)
    : name_(std::move(name)), description_(std::move(description)), pci_(machine_) {}

SimBoard::~SimBoard() = default;

HwmonInputs* SimBoard::chipInputs(const std::string& id) {
  auto it = chips_.find(id);
  return it == chips_.end() ? nullptr : it->second.inputs;
}

std::vector<std::string> SimBoard::chipIds() const {
  std::vector<std::string> out;
  for (const auto& [id, chip] : chips_) out.push_back(id);
  return out;
}

std::string SimBoard::chipKind(const std::string& id) const {
  auto it = chips_.find(id);
  return it == chips_.end() ? std::string() : it->second.kind;
}

void SimBoard::setSmbusStuckBusy(bool stuck, bool survivesReset) {
  if (smbusHost_) smbusHost_->setStuckBusy(stuck, survivesReset);
}

void SimBoard::removeSmbusHost() {
  if (smbusHost_) machine_.unmap(smbusHost_);
}

bool SimBoard::setChipVanished(const std::string& id, bool vanished) {
  HwmonInputs* in = chipInputs(id);
  if (in) in->setVanished(vanished);
  return in != nullptr;
}

void SimBoard::addChip(const std::string& id, const std::string& kind, HwmonInputs& inputs) {
  chips_[id] = ChipEntry{kind, &inputs};
}

BoardResult LoadBoardJson(std::string_view text, const std::string& name) {
  BoardError error;
  auto spec = ParseBoardSpec(text, name, error);
  if (!spec) return error;
  if (spec->name.empty()) {
    // The file's own name without folders and extension.
    std::string stem = name.substr(name.find_last_of('/') + 1);
    spec->name = stem.substr(0, stem.rfind(".json"));
  }
  auto board = BuildBoard(*spec, name, error);
  if (!board) return error;
  return board;
}

std::optional<std::string_view> CatalogueBoardJson(const std::string& name) {
  for (const auto& f : EmbeddedBoardFiles())
    if (name == f.name) return std::string_view(f.text);
  return std::nullopt;
}

BoardResult LoadCatalogueBoard(const std::string& name) {
  auto text = CatalogueBoardJson(name);
  if (!text) return BoardError{name, "", "no board of that name in the catalogue"};
  return LoadBoardJson(*text, name);
}

std::vector<std::string> CatalogueBoardNames() {
  std::vector<std::string> out;
  for (const auto& f : EmbeddedBoardFiles()) out.emplace_back(f.name);
  return out;
}

}  // namespace kev::sim
