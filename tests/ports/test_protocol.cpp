// The helper's server in-process: a greeting, batched requests with one
// reply, refusals logged once, and anything malformed ends the connection
// before any request of the message runs.
#include <gtest/gtest.h>

#include <cstring>

#include "ports/server.h"
#include "sim/board.h"

namespace kev::ports {
namespace {

constexpr uint16_t kIndexPort = 0x295;  // the demo board's W83782D
constexpr uint16_t kDataPort = 0x296;
constexpr uint8_t kRegVendor = 0x4F;

template <class T>
std::vector<std::byte> Bytes(const std::vector<T>& records) {
  std::vector<std::byte> out(records.size() * sizeof(T));
  if (!out.empty()) std::memcpy(out.data(), records.data(), out.size());
  return out;
}

struct Served {
  std::unique_ptr<sim::SimBoard> board = sim::LoadCatalogueBoard("demo").take();
  PolicedPorts ports{board->machine()};
  std::vector<std::string> log;
  PortServer server{ports, PortAccessRefusal::None, 0,
                    [this](const std::string& line) { log.push_back(line); }};

  Hello greet() {
    const std::vector<std::byte> r = server.handle(Bytes(std::vector<Hello>{Hello{}}));
    Hello h{};
    EXPECT_EQ(r.size(), sizeof h);
    if (r.size() == sizeof h) std::memcpy(&h, r.data(), sizeof h);
    return h;
  }
  Reply send(const std::vector<Request>& requests) {
    const std::vector<std::byte> r = server.handle(Bytes(requests));
    Reply reply{};
    EXPECT_EQ(r.size(), sizeof reply);
    if (r.size() == sizeof reply) std::memcpy(&reply, r.data(), sizeof reply);
    return reply;
  }
};

TEST(PortProtocol, BatchedRequestsGetOneReplyAndRefusalsOneLogLineEach) {
  Served s;
  const Hello h = s.greet();
  EXPECT_EQ(h.magic, kMagic);
  EXPECT_EQ(h.version, kVersion);
  EXPECT_EQ(h.refusal, 0);

  // Bank 0 high byte selected at power-on: the vendor register reads 5Ch.
  Reply r = s.send({{Op::Out, 1, kIndexPort, kRegVendor, 0},
                    {Op::Delay, 0, 0, 0, 0},
                    {Op::In, 1, kDataPort, 0, 0}});
  EXPECT_EQ(r.status, Status::Ok);
  EXPECT_EQ(r.value, 0x5Cu);
  EXPECT_TRUE(s.log.empty());

  // A refused write does not stop the rest of the message.
  r = s.send({{Op::Out, 1, 0x1F5, 0, 0}, {Op::In, 1, kDataPort, 0, 0}});
  EXPECT_EQ(r.status, Status::Refused);
  EXPECT_EQ(r.value, 0x5Cu);
  EXPECT_EQ(s.log, std::vector<std::string>{
                       "kevatra-ports: refused: outb 1F5h: not a port the program uses"});

  // A whole transaction: the PIIX4E's host at 5000h, the LM75 at 4Fh.
  constexpr uint32_t kPiix4 = 0x71138086;
  r = s.send({{Op::Smbus, kSmbusRead, 0x5000, 0x4F | 0x01 << 8, kPiix4}});
  EXPECT_EQ(r.status, Status::Ok);
  EXPECT_NE(r.value, 0xFFFFFFFFu);
  EXPECT_FALSE(s.server.done());
}

TEST(PortProtocol, AnythingMalformedEndsTheConnectionBeforeAnyRequestRuns) {
  const Request out{Op::Out, 1, kIndexPort, kRegVendor, 0};
  auto bad = [&](Request r) { return Bytes(std::vector<Request>{out, r}); };
  std::vector<std::byte> truncated = Bytes(std::vector<Request>{out});
  truncated.pop_back();
  const std::vector<std::pair<const char*, std::vector<std::byte>>> afterHello{
      {"empty", {}},
      {"truncated record", truncated},
      {"too many records", Bytes(std::vector<Request>(kMaxRecords + 1, out))},
      {"unknown op", bad({static_cast<Op>(9), 1, kIndexPort, 0, 0})},
      {"no op", bad({static_cast<Op>(0), 1, kIndexPort, 0, 0})},
      {"width 3", bad({Op::In, 3, kIndexPort, 0, 0})},
      {"delay with a width", bad({Op::Delay, 1, 0, 0, 0})},
      {"SMBus flags", bad({Op::Smbus, 0x04, 0x5000, 0x48, 0x71138086})},
      {"a second hello", Bytes(std::vector<Hello>{Hello{}})},
  };
  for (const auto& [name, message] : afterHello) {
    SCOPED_TRACE(name);
    Served s;
    s.greet();
    s.board->machine().startTrace(true);
    EXPECT_TRUE(s.server.handle(message).empty());
    EXPECT_TRUE(s.server.done());
    EXPECT_TRUE(s.board->machine().trace().empty());
    EXPECT_TRUE(s.server.handle(Bytes(std::vector<Request>{out})).empty());
  }

  Hello wrongMagic;
  wrongMagic.magic ^= 1;
  Hello wrongVersion;
  wrongVersion.version = kVersion + 1;
  const std::vector<std::pair<const char*, std::vector<std::byte>>> asHello{
      {"bad magic", Bytes(std::vector<Hello>{wrongMagic})},
      {"bad version", Bytes(std::vector<Hello>{wrongVersion})},
      {"request first", Bytes(std::vector<Request>{out})},
  };
  for (const auto& [name, message] : asHello) {
    SCOPED_TRACE(name);
    Served s;
    EXPECT_TRUE(s.server.handle(message).empty());
    EXPECT_TRUE(s.server.done());
  }
}

TEST(PortProtocol, HelperWithoutPortAccessSaysWhyAndEnds) {
  Served s;
  PortServer refused(s.ports, PortAccessRefusal::LockedDown, EPERM, {});
  const std::vector<std::byte> r = refused.handle(Bytes(std::vector<Hello>{Hello{}}));
  Hello h{};
  ASSERT_EQ(r.size(), sizeof h);
  std::memcpy(&h, r.data(), sizeof h);
  EXPECT_EQ(h.refusal, static_cast<uint8_t>(PortAccessRefusal::LockedDown));
  EXPECT_EQ(h.accessErrno, EPERM);
  EXPECT_TRUE(refused.done());
}

}  // namespace
}  // namespace kev::ports
