// The helper's side of the protocol: messages in, replies out, every op
// through the policy and under the machine-wide lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "hw/realports.h"
#include "ports/machine_lock.h"
#include "ports/policy.h"
#include "ports/protocol.h"

namespace kev::ports {

class PortServer {
 public:
  // access: what the kernel said to the helper's ioperm; without access the
  // helper answers the hello and ends. lock: held for each message (none in
  // tests that need no other program kept out). log gets one line per
  // refusal and per stretch of busy messages.
  PortServer(OpPolicy& policy, MachineLock* lock, PortAccessRefusal access, int accessErrno,
             std::function<void(const std::string&)> log);
  // Says in the hello that SMBus transfers go through the kernel's adapter.
  void announceKernelSmbus() { kernelSmbus_ = true; }

  // The reply to one message; empty when the connection must end (a
  // malformed message, or the hello of a helper without port access, whose
  // reply comes with done() set).
  std::vector<std::byte> handle(std::span<const std::byte> message);
  bool done() const { return done_; }

 private:
  std::vector<std::byte> hello(std::span<const std::byte> message);
  std::vector<std::byte> runOps(std::span<const HwOp> ops);

  OpPolicy& policy_;
  MachineLock* lock_;
  PortAccessRefusal access_;
  int accessErrno_;
  std::function<void(const std::string&)> log_;
  bool greeted_ = false;
  bool done_ = false;
  bool busy_ = false;
  bool kernelSmbus_ = false;
};

// Serves the socket until the client closes it or breaks the protocol.
void Serve(int fd, PortServer& server);

// The log line for a refusal.
std::string RefusalLogLine(const std::string& refusal);

}  // namespace kev::ports
