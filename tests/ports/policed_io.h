// The helper's policy and server in-process, as port backends for the
// program's own code.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "ports/machine_map.h"
#include "ports/policy.h"
#include "ports/server.h"

namespace kev::ports::test {

// Only whole operations reach the hardware, as through the helper.
class OpsOnly : public OpsOnlyPorts {
 public:
  bool requestAccess() override { return true; }
};

// Every op through the policy the helper would hold over machine.
class PolicedIo : public OpsOnly {
 public:
  explicit PolicedIo(PortIo& machine) : policy(machine, EstablishMachine(machine)) {}
  void runOps(std::span<const HwOp> ops, std::span<uint32_t> results) override {
    policy.run(ops, results, refusals);
  }
  OpPolicy policy;
  std::vector<std::string> refusals;
};

template <class T>
std::vector<std::byte> Bytes(const std::vector<T>& records) {
  std::vector<std::byte> out(records.size() * sizeof(T));
  if (!out.empty()) std::memcpy(out.data(), records.data(), out.size());
  return out;
}

// A greeted client of server, one message per runOps call.
class ServerClient : public OpsOnly {
 public:
  explicit ServerClient(PortServer& server) : server_(server) {
    server_.handle(Bytes(std::vector<Hello>{Hello{}}));
  }
  void runOps(std::span<const HwOp> ops, std::span<uint32_t> results) override {
    const std::vector<std::byte> reply =
        server_.handle(Bytes(std::vector<HwOp>(ops.begin(), ops.end())));
    ReplyHeader h{};
    if (reply.size() != sizeof h + ops.size() * sizeof(uint32_t)) return;
    std::memcpy(&h, reply.data(), sizeof h);
    last = h.status;
    std::memcpy(results.data(), reply.data() + sizeof h, results.size() * sizeof(uint32_t));
  }
  Status last = Status::Ok;

 private:
  PortServer& server_;
};

}  // namespace kev::ports::test
