// Fuzzes the port helper's server: arbitrary messages, each a two-byte
// length and that many bytes, against a catalogue board the first byte
// picks. Every reply is a hello or one value per op of its message,
// nothing is answered once the connection has ended, and the policy holds
// whatever the messages say: the board's PCI configuration is unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "ports/server.h"
#include "sim/board.h"

namespace {

const std::vector<std::string>& Boards() {
  static const std::vector<std::string> names = kev::sim::CatalogueBoardNames();
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::vector<std::string>& boards = Boards();
  kev::sim::BoardResult loaded = kev::sim::LoadCatalogueBoard(boards[data[0] % boards.size()]);
  if (!loaded) __builtin_trap();
  kev::PortIo& machine = loaded->machine();
  kev::ports::OpPolicy policy(machine, kev::ports::EstablishMachine(machine));
  kev::ports::PortServer server(policy, nullptr, kev::PortAccessRefusal::None, 0,
                                [](const std::string&) {});
  const auto pciConfig = [&machine] {
    std::vector<uint32_t> dwords;
    for (uint32_t dev = 0; dev < 32; ++dev) {
      for (uint32_t reg = 0; reg < 0x100; reg += 4) {
        dwords.push_back(kev::RunOnPorts(
            machine, kev::op::PciRead(kev::PciLane::Dword, 0x80000000u | dev << 11 | reg)));
      }
    }
    return dwords;
  };
  const std::vector<uint32_t> before = pciConfig();
  // Odd first bytes start past the greeting, so most inputs reach requests.
  if (data[0] & 1) {
    const kev::ports::Hello hello;
    std::vector<std::byte> greeting(sizeof hello);
    std::memcpy(greeting.data(), &hello, sizeof hello);
    if (server.handle(greeting).size() != sizeof hello) __builtin_trap();
  }
  size_t at = 1;
  while (at + 2 <= size) {
    const size_t length = std::min<size_t>(data[at] | size_t{data[at + 1]} << 8, size - at - 2);
    at += 2;
    const auto* bytes = reinterpret_cast<const std::byte*>(data + at);
    at += length;
    const bool ended = server.done();
    const std::vector<std::byte> reply = server.handle(std::span<const std::byte>(bytes, length));
    if (ended && !reply.empty()) __builtin_trap();
    const size_t values = sizeof(kev::ports::ReplyHeader) + length / sizeof(kev::HwOp) * 4;
    if (!reply.empty() && reply.size() != values && reply.size() != sizeof(kev::ports::Hello)) {
      __builtin_trap();
    }
  }
  if (pciConfig() != before) __builtin_trap();
  return 0;
}
