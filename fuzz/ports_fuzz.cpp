// Fuzzes the port helper's server: arbitrary messages, each a two-byte
// length and that many bytes, against a catalogue board the first byte
// picks. Every reply is one record, nothing is answered once the
// connection has ended, and the policy holds whatever the messages say.
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
  kev::ports::PolicedPorts ports(loaded->machine());
  kev::ports::PortServer server(ports, kev::PortAccessRefusal::None, 0, [](const std::string&) {});
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
    if (!reply.empty() && reply.size() != sizeof(kev::ports::Reply) &&
        reply.size() != sizeof(kev::ports::Hello)) {
      __builtin_trap();
    }
  }
  return 0;
}
